#include "app/CommandLine.h"

#include "catalogue/ProductCatalogue.h"
#include "funnel/FunnelModel.h"
#include "platform/BuildError.h"
#include "platform/KelvrinTools.h"
#include "platform/Messages.h"
#include "plugin/FunnelFile.h"
#include "plugin/PluginBuilder.h"

#include <QFile>
#include <QTextStream>

namespace {

class ConsoleMessages final : public Messages {
public:
    explicit ConsoleMessages(QTextStream& err)
        : m_err(err) {}
    void Show(const QString& title, const QString& text, Icon) override {
        m_err << title << ": " << text << Qt::endl;
    }

private:
    QTextStream& m_err;
};

const char* kUsage =
    "Usage: veltrano [build FUNNEL.json | --help | --version]\n"
    "\n"
    "Without arguments Veltrano opens its window.\n"
    "  build FUNNEL.json  build the plugin archive for the funnel described in FUNNEL.json\n"
    "                     into the output folder and print the archive's path\n"
    "  --help             show this text\n"
    "  --version          show the program's name and version\n"
    "\n"
    "FUNNEL.json:\n"
    "  { \"items\": [ { \"slot\": 0, \"product\": \"Traffic Magnet Pro\" },\n"
    "               { \"slot\": 1, \"product\": \"My Products: Demo Product\",\n"
    "                 \"download\": \"https://example.com/file.zip\" } ],\n"
    "    \"plugin\": { \"identifier\": \"p123\", \"name\": \"My Plugin\", \"uri\": \"...\",\n"
    "                \"description\": \"...\", \"version\": \"1.0\", \"author\": \"...\",\n"
    "                \"authorUrl\": \"...\", \"license\": \"GPL\" } }\n"
    "  Slots: 0 front end offer, 1 upsell #1, 2 upsell #2, 3 downsell for upsell #1,\n"
    "  4 downsell for upsell #2. Plugin fields are optional.\n";

int build(const QString& funnelPath, const QString& applicationFolder, QTextStream& out, QTextStream& err) {
    QFile file(funnelPath);
    if (!file.open(QIODevice::ReadOnly)) {
        err << "Cannot read " << funnelPath << ": " << file.errorString() << Qt::endl;
        return 1;
    }
    ConsoleMessages console(err);
    Messages& messages = console;
    KelvrinTools tools;
    ProductCatalogue catalogue(applicationFolder);
    FunnelModel funnel;
    PluginDetails details;
    const QString problem =
        FunnelFile::Load(file.readAll(), catalogue, catalogue.FillProductLists(), tools, funnel, details);
    if (!problem.isEmpty()) {
        err << problem << Qt::endl;
        return 1;
    }
    PluginBuilder builder(applicationFolder, tools, messages);
    const QString refusal = builder.Refusal(funnel, details);
    if (!refusal.isEmpty()) {
        messages.Show(QStringLiteral("Important"), refusal);
        return 1;
    }
    try {
        out << builder.Build(funnel, details) << Qt::endl;
        return 0;
    } catch (const BuildError& error) {
        messages.Show(QStringLiteral("Error"),
                      PluginBuilder::ErrorMessage(error.number(), error.description()));
        return 1;
    }
}

} // namespace

int RunCommandLine(const QStringList& arguments, const QString& applicationFolder, QTextStream& out,
                   QTextStream& err) {
    if (arguments.size() == 1 &&
        (arguments[0] == QLatin1String("--help") || arguments[0] == QLatin1String("-h"))) {
        out << kUsage;
        return 0;
    }
    if (arguments.size() == 1 && arguments[0] == QLatin1String("--version")) {
        out << "Veltrano Pro 2.6" << Qt::endl;
        return 0;
    }
    if (arguments.size() == 2 && arguments[0] == QLatin1String("build"))
        return build(arguments[1], applicationFolder, out, err);
    err << kUsage;
    return 2;
}
