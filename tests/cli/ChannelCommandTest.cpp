// veltrin-cli channel against the simulator's band filter and compressor: every loss and gain point
// reads what the filter's and compressor's formulas say, held to the example masks; the self-test's
// channel steps; and the command's usage errors.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <optional>

namespace {

struct ChannelOutcome {
    int code = -1;
    QJsonObject json;
    QString err;
};

ChannelOutcome Start(const QTemporaryDir& home, const QStringList& arguments, const QString& impair) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* key : {"HOME", "TMPDIR", "XDG_DATA_HOME", "XDG_CONFIG_DIRS", "VELTRIN_DEVICE_ROOT"})
        env.insert(key, home.path());
    env.insert("VELTRIN_SIM_BOARDS", "0x330D:501:2");
    env.insert("VELTRIN_SIM_INPUT", "loopback");
    env.insert("VELTRIN_SIM_IMPAIR", impair);
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(PROGRAM, QStringList{"--demo", "--json"} + arguments);
    ChannelOutcome run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "veltrin-cli did not finish";
        return run;
    }
    run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.json = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// The truth from the formulas: a second-order Butterworth edge by the bilinear transform is the
// analogue (f / edge)^4 term with both frequencies warped to tan(pi f / rate); above its point the
// compressor gives half of the excess back.
double BandDb(double low, double high, double hz, double rate = 8000) {
    const double w = std::tan(std::numbers::pi * hz / rate);
    const double h = std::pow(w / std::tan(std::numbers::pi * low / rate), 4);
    const double l = std::pow(w / std::tan(std::numbers::pi * high / rate), 4);
    return 10 * std::log10(h / (1 + h)) - 10 * std::log10(1 + l);
}
double CompressedDb(double point, double dbfs) { return dbfs > point ? -(dbfs - point) / 2 : 0.0; }

TEST(ChannelCommand, LossAndGainFollowTheLinesFilterAndCompressor) {
    struct Case {
        double low, high;
        std::optional<double> point; // dBFS
        int code;
        QStringList failed; // steps outside the example masks
    };
    const Case cases[] = {
        {150, 3600, std::nullopt, 0, {}},
        // 3 dB down at 300 Hz and 1.1 dB at 404 Hz; 0 and +3 dBm0 (-3.14 and -0.14 dBFS) lie above -8 dBFS.
        {300,
         3400,
         -8.0,
         1,
         {"channel line 1 loss 300 Hz", "channel line 1 loss 404 Hz", "channel line 1 gain 0 dBm0",
          "channel line 1 gain 3 dBm0"}},
    };
    QTemporaryDir home;
    for (const Case& c : cases) {
        const QString impair = QString("response:%1-%2").arg(c.low).arg(c.high) +
                               (c.point ? QString(",compress:%1").arg(*c.point) : QString());
        SCOPED_TRACE(impair.toStdString());
        const ChannelOutcome run =
            Start(home, {"channel", "0", "line:1", "--rate", "8000", "--masks", EXAMPLE_MASKS}, impair);
        EXPECT_EQ(run.code, c.code) << run.err.toStdString();
        EXPECT_EQ(run.json["rate"].toInt(), 8000);
        QStringList failed;
        int loss = 0, gain = 0;
        for (const QJsonValue& v : run.json["steps"].toArray()) {
            const QJsonObject step = v.toObject();
            const QString name = step["step"].toString();
            const double value = step["value"].toDouble();
            if (step["result"] == "fail")
                failed << name;
            EXPECT_NE(step["result"], "error") << name.toStdString();
            const QStringList words = name.split(' ');
            if (words.value(3) == "loss") {
                ++loss;
                const double hz = words.value(4).toDouble();
                // A fit's level is exact to far better than the 0.01 dB a value is shown with.
                EXPECT_NEAR(value, BandDb(c.low, c.high, 1020) - BandDb(c.low, c.high, hz), 0.011) << hz;
            } else if (words.value(3) == "gain") {
                ++gain;
                const double dbm0 = words.value(4).toDouble();
                const auto received = [&](double level) {
                    const double dbfs = level - 3.14 + BandDb(c.low, c.high, 1020);
                    return c.point ? CompressedDb(*c.point, dbfs) : 0.0;
                };
                EXPECT_NEAR(value, received(dbm0) - received(-10), dbm0 < -45 ? 0.03 : 0.011) << dbm0;
            }
        }
        EXPECT_EQ(loss, 19) << "200 Hz to 3800 Hz at 8 kHz";
        EXPECT_EQ(gain, 9) << "-55 dBm0 to +3 dBm0";
        EXPECT_EQ(failed.join(", ").toStdString(), c.failed.join(", ").toStdString());
        for (const QString& f : c.failed)
            EXPECT_TRUE(run.err.contains(f + " failed")) << run.err.toStdString();
    }
}

TEST(ChannelCommand, SelfTestMeasuresEveryLineAndUsageErrorsSayWhy) {
    QTemporaryDir home;
    // Without a limit every point is skipped with its value, and the run says so.
    const ChannelOutcome bare = Start(home, {"selftest", "0", "--for", "0.2", "--loopback", "--channel"}, "");
    EXPECT_EQ(bare.code, 0) << bare.err.toStdString();
    int channelSteps = 0;
    for (const QJsonValue& board : bare.json["boards"].toArray())
        for (const QJsonValue& step : board["steps"].toArray())
            if (step["step"].toString().startsWith("channel line ")) {
                ++channelSteps;
                EXPECT_EQ(step["result"], "skip") << step["step"].toString().toStdString();
            }
    EXPECT_EQ(channelSteps, 2 * (23 + 9 + 9 + 1)) << "two lines of 16 kHz, every point";

    const struct {
        QStringList arguments;
        QString message;
    } usage[] = {
        {{"channel", "0", "line:0", "--law", "linear"}, "--law is a or mu"},
        {{"channel", "0", "line:0", "--masks", "/nonexistent.masks"}, "cannot read the mask file /nonexistent.masks"},
        {{"channel", "0", "left"}, "give line:N"},
        {{"selftest", "--masks", EXAMPLE_MASKS}, "--law and --masks go with --channel"},
    };
    for (const auto& u : usage) {
        const ChannelOutcome run = Start(home, u.arguments, "");
        EXPECT_EQ(run.code, 2) << u.arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(u.message)) << run.err.toStdString();
    }
}

} // namespace
