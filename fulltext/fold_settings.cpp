#include "fulltext/fulltext.h"

#include "store/own_settings.h"

Fold_options Read_fold_options(const QString& app_dir)
{
    const Own_settings own = Read_own_settings(app_dir).values;
    Fold_options options;
    options.width = own.fulltext_width;
    options.letter_case = own.fulltext_case;
    options.kana = own.fulltext_kana;
    return options;
}

Io_result Write_fold_options(const QString& app_dir, const Fold_options& options)
{
    return Change_own_settings(app_dir, [&options](Own_settings& own) {
        own.fulltext_width = options.width;
        own.fulltext_case = options.letter_case;
        own.fulltext_kana = options.kana;
    });
}
