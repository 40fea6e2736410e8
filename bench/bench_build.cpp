// Builds a plugin for a full five-item funnel end to end (generation, assembly, packing,
// clean-up) in a temporary application folder, and packs one plugin folder with libzip and with
// 7za side by side. Prints median times.
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

double medianMilliseconds(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
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
    details.identifier = QStringLiteral("pBench");
    const int runs = 51;
    const double build = medianMilliseconds(runs, [&] {
        builder.Build(funnel, details);
        QFile::remove(folder + QStringLiteral("/output/myplugin.zip"));
    });
    std::printf(
        "five-item plugin build (generation, assembly, packing, clean-up): median %.2f ms over %d runs\n",
        build, runs);

    // One assembled plugin folder, packed by both archivers into fresh archives.
    const GenerationResult generation = FunnelGenerator(folder, tools, messages).ProcessFunnel(funnel);
    const QString pluginFolder = builder.Assemble(details, generation);
    const QString archive = folder + QStringLiteral("/output/bench.zip");
    const double libzip = medianMilliseconds(runs, [&] {
        QFile::remove(archive);
        ZipPacker::PackFolder(pluginFolder, archive);
    });
    const qint64 libzipSize = QFileInfo(archive).size();
    const QString sevenZip = QStandardPaths::findExecutable(QStringLiteral("7za"));
    if (sevenZip.isEmpty()) {
        std::printf("packing with libzip: median %.2f ms (%lld bytes); 7za not found, no comparison\n",
                    libzip, libzipSize);
        return 0;
    }
    const double external = medianMilliseconds(runs, [&] {
        QFile::remove(archive);
        QProcess process;
        process.setWorkingDirectory(folder + QStringLiteral("/output"));
        process.start(sevenZip, {QStringLiteral("a"), QStringLiteral("-tzip"), QStringLiteral("-r"), archive,
                                 pluginFolder});
        process.waitForFinished();
    });
    const qint64 externalSize = QFileInfo(archive).size();
    std::printf(
        "packing one plugin folder: libzip median %.2f ms (%lld bytes), 7za median %.2f ms (%lld bytes), "
        "7za/libzip time ratio %.1f\n",
        libzip, libzipSize, external, externalSize, external / libzip);
    return 0;
}
