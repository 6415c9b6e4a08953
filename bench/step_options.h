#pragma once
// bench_steps' command line (see bench_steps.cpp for its usage).

#include "bench/bench_days.h"

#include <QString>
#include <QStringList>
#include <vector>

class QCoreApplication;

struct Step_options {
    QString folder;  // with a trailing "/"
    int samples = 41;
    QStringList only;
    bool recovery = true;
    std::vector<Size_band> step_sizes;
    std::vector<Size_band> save_sizes;
    std::vector<Size_band> fortune_sizes;
    QStringList words;
    int year = 0;
};

// The options given; a usage error prints the usage and ends the run.
Step_options Parse_step_options(const QCoreApplication& app);
