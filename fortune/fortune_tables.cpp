#include "fortune/fortune_tables.h"

const std::array<QString, Luck_count> luck_table = {
    QStringLiteral("大凶"),       QStringLiteral("凶"),   QStringLiteral("小凶"),
    QStringLiteral("末吉"),       QStringLiteral("小吉"), QStringLiteral("吉"),
    QStringLiteral("中吉"),       QStringLiteral("大吉"), QStringLiteral("極吉"),
    QStringLiteral("ウルトラ吉"),
};

const std::array<QString, Color_count> color_table = {
    QStringLiteral("赤"), QStringLiteral("オレンジ"), QStringLiteral("黄"), QStringLiteral("緑"),
    QStringLiteral("青"), QStringLiteral("紫"),       QStringLiteral("白"), QStringLiteral("黒"),
    QStringLiteral("金"), QStringLiteral("銀"),
};

const std::array<QString, Number_count> number_table = {
    QStringLiteral("０"), QStringLiteral("１"), QStringLiteral("２"), QStringLiteral("３"),
    QStringLiteral("４"), QStringLiteral("５"), QStringLiteral("６"), QStringLiteral("７"),
    QStringLiteral("８"), QStringLiteral("９"),
};

const std::array<QString, Advice_count> advice_table = {
    QStringLiteral("転ばぬ先の杖"),
    QStringLiteral("手抜きは禁物"),
    QStringLiteral("好奇心を大切に"),
    QStringLiteral("愛こそはすべて"),
    QStringLiteral("理想は高く"),
    QStringLiteral("誠意は通じる"),
    QStringLiteral("アイデアは即実行"),
    QStringLiteral("趣味を活かして"),
    QStringLiteral("自己主張は程々に"),
    QStringLiteral("新進の心意気を"),
    QStringLiteral("楽しいこと優先で"),
    QStringLiteral("わがままは禁物"),
    QStringLiteral("自分に自信を"),
    QStringLiteral("急がばまわれ"),
    QStringLiteral("健康第一"),
    QStringLiteral("意地をはらずに"),
    QStringLiteral("素直が一番"),
    QStringLiteral("度胸一発"),
    QStringLiteral("時には手抜きも大事"),
    QStringLiteral("気楽にやろう"),
    QStringLiteral("天網恢恢疎にして漏らさず"),
    QStringLiteral("優しさを大切に"),
    QStringLiteral("やまない雨は無い"),
    QStringLiteral("笑顔が魅力的"),
    QStringLiteral("友情は宝"),
    QStringLiteral("家族を大切に"),
    QStringLiteral("限界に挑戦"),
    QStringLiteral("信用第一"),
    QStringLiteral("地球にやさしく"),
    QStringLiteral("年長者を大事に"),
};
