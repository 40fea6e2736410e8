// Builds a plugin for a full five-item funnel end to end (generation, assembly, packing,
// clean-up) in a temporary application folder, and packs the same finished plugin folder with
// libzip and with 7za in the same run. Prints median times and how the whole build compares with
// 7za packing alone.
#include "catalogue/ProductCatalogue.h"
#include "funnel/FunnelModel.h"
#include "generate/FunnelGenerator.h"
#include "platform/KelvrinFile.h"
#include "platform/KelvrinTools.h"
#include "platform/Messages.h"
#include "platform/ZipPacker.h"
#include "plugin/PluginBuilder.h"
#include "plugin/PluginDetails.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

class SilentMessages final : public Messages {
public:
    void Show(const QString&, const QString&, Icon) override {}
};

double milliseconds(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString folder = dir.path();
    KelvrinFile::CopyFolder(QStringLiteral(VELTRANO_DATA_DIR), folder);
    QDir(folder).mkdir(QStringLiteral("temp"));
    QDir(folder).mkdir(QStringLiteral("output"));

    FunnelModel funnel;
    funnel.AddUpsell(0);
    funnel.AddUpsell(1);
    funnel.AddDownsell(1);
    funnel.AddDownsell(2);
    ProductCatalogue catalogue(folder);
    catalogue.FillProductLists();
    const QStringList products{"Traffic Magnet Pro", "Webinar Wealth", "Copywriting Mastery",
                               "My Products: Demo Product", "Kindle Publishing Empire"};
    for (int n = 0; n < 5; ++n) {
        funnel.SetProductText(n, products[n]);
        funnel.SelectProduct(n, catalogue);
    }

    KelvrinTools tools(1);
    SilentMessages messages;
    PluginBuilder builder(folder, tools, messages);
    PluginDetails details;
    details.identifier = QStringLiteral("pbench");

    // The finished plugin folder of the same funnel, for the packers to pack on their own.
    QTemporaryDir packDir;
    {
        const GenerationResult generation = FunnelGenerator(folder, tools, messages).ProcessFunnel(funnel);
        const QString assembled = builder.Assemble(details, generation);
        QDir().mkpath(packDir.path() + QStringLiteral("/pbench"));
        KelvrinFile::CopyFolder(assembled, packDir.path() + QStringLiteral("/pbench"));
        QDir(assembled).removeRecursively();
    }
    const QString pluginFolder = packDir.path() + QStringLiteral("/pbench");
    const QString archive = packDir.path() + QStringLiteral("/bench.zip");
    const QString sevenZip = QStandardPaths::findExecutable(QStringLiteral("7za"));

    // Taken in turns, so that a change in the machine's load weighs on all alike.
    const int runs = 51;
    std::vector<double> build;
    std::vector<double> libzip;
    std::vector<double> external;
    qint64 libzipSize = 0;
    qint64 externalSize = 0;
    for (int i = 0; i < runs; ++i) {
        build.push_back(milliseconds([&] { builder.Build(funnel, details); }));
        libzip.push_back(milliseconds([&] { ZipPacker::PackFolder(pluginFolder, archive); }));
        libzipSize = QFileInfo(archive).size();
        if (sevenZip.isEmpty())
            continue;
        // 7za adds to an existing archive: each run starts without one.
        QFile::remove(archive);
        external.push_back(milliseconds([&] {
            QProcess process;
            process.setWorkingDirectory(packDir.path());
            process.start(sevenZip, {QStringLiteral("a"), QStringLiteral("-tzip"), QStringLiteral("-r"),
                                     archive, pluginFolder});
            process.waitForFinished();
        }));
        externalSize = QFileInfo(archive).size();
        QFile::remove(archive);
    }

    const double buildMedian = median(build);
    std::printf(
        "five-item plugin build (generation, assembly, packing, clean-up): median %.2f ms over %d runs\n",
        buildMedian, runs);
    std::printf("packing the finished plugin folder with libzip: median %.2f ms (%lld bytes)\n",
                median(libzip), libzipSize);
    if (sevenZip.isEmpty()) {
        std::printf("7za not found (Debian package p7zip-full): no comparison\n");
        return 0;
    }
    const double externalMedian = median(external);
    std::printf("packing the finished plugin folder with 7za a -tzip -r: median %.2f ms (%lld bytes)\n",
                externalMedian, externalSize);
    std::printf("whole build / 7za packing alone: %.2f (target: at most 1.00)\n",
                buildMedian / externalMedian);
    return 0;
}
