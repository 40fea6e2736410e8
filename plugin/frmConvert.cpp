#include "plugin/frmConvert.h"

#include "platform/BuildError.h"
#include "platform/KelvrinTools.h"
#include "platform/Messages.h"
#include "platform/Shell.h"
#include "platform/Twips.h"
#include "plugin/PluginBuilder.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

QLabel* label(const QString& text, const QRect& geometry, QWidget* parent) {
    auto* result = new QLabel(text, parent);
    result->setGeometry(geometry);
    return result;
}

template <typename Field>
Field* field(const QString& name, const QString& text, const QRect& geometry, QWidget* parent) {
    auto* result = new Field(parent);
    result->setObjectName(name);
    if constexpr (std::is_same_v<Field, QPlainTextEdit>)
        result->setPlainText(text);
    else
        result->setText(text);
    result->setGeometry(geometry);
    return result;
}

} // namespace

frmConvert::frmConvert(AppRoots roots, const FunnelModel& funnel, const PluginDetails& details,
                       FunnelTokens tokens, KelvrinTools& tools, Messages& messages, Shell& shell,
                       QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_roots(std::move(roots))
    , m_funnel(funnel)
    , m_tools(tools)
    , m_messages(messages)
    , m_shell(shell)
    , m_tokens(std::move(tokens)) {
    setObjectName(QStringLiteral("frmConvert"));
    setWindowTitle(QStringLiteral("Create Plugin"));
    setFixedSize(Twips(0, 0, 14790, 7620).size());

    label(QStringLiteral("Unique Identifier"), Twips(675, 405, 1905, 330), this);
    txtPluginID = field<QLineEdit>(QStringLiteral("txtPluginID"), details.identifier,
                                   Twips(2340, 360, 1725, 375), this);
    cmdGenerateIdentifier = new QPushButton(QStringLiteral("Generate New"), this);
    cmdGenerateIdentifier->setObjectName(QStringLiteral("cmdGenerateIdentifier"));
    cmdGenerateIdentifier->setGeometry(Twips(4320, 360, 1500, 375));
    label(QStringLiteral("This is a unique identifier for the internal use of the plugin."),
          Twips(5940, 450, 4785, 240), this);

    auto* frame = new QGroupBox(QStringLiteral(" Enter Your Plugin Details      "), this);
    frame->setObjectName(QStringLiteral("Frame2"));
    frame->setGeometry(Twips(630, 1080, 13695, 5325));
    frame->setStyleSheet(QStringLiteral("QGroupBox { font-family: Verdana; font-weight: bold; }"));
    label(QStringLiteral("Enter the details of your plugin below:"), Twips(765, 495, 7080, 285), frame);
    label(QStringLiteral("Plugin Name:"), Twips(1305, 1080, 1185, 285), frame);
    txtPlugin_Name =
        field<QLineEdit>(QStringLiteral("txtPlugin_Name"), details.name, Twips(2745, 1035, 2040, 420), frame);
    label(QStringLiteral(
              "Please Keep this Name as Short as Possible. Allowed characters: letters, numbers and spaces."),
          Twips(4950, 1125, 7845, 240), frame);
    label(QStringLiteral("Plugin URI:"), Twips(1305, 1620, 1185, 285), frame);
    txtPlugin_Uri =
        field<QLineEdit>(QStringLiteral("txtPlugin_Uri"), details.uri, Twips(2745, 1575, 3975, 420), frame);
    label(QStringLiteral("Description:"), Twips(1305, 2160, 1185, 285), frame);
    txtPlugin_Description = field<QPlainTextEdit>(QStringLiteral("txtPlugin_Description"),
                                                  details.description, Twips(2745, 2115, 9060, 645), frame);
    txtPlugin_Description->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    label(QStringLiteral("Version:"), Twips(1305, 2925, 1185, 285), frame);
    txtPlugin_Version = field<QLineEdit>(QStringLiteral("txtPlugin_Version"), details.version,
                                         Twips(2745, 2835, 915, 420), frame);
    label(QStringLiteral("Author:"), Twips(1305, 3420, 1185, 285), frame);
    txtPlugin_Author = field<QLineEdit>(QStringLiteral("txtPlugin_Author"), details.author,
                                        Twips(2745, 3375, 3975, 420), frame);
    label(QStringLiteral("Author Url:"), Twips(1305, 4005, 1185, 285), frame);
    txtPlugin_AuthorUrl = field<QLineEdit>(QStringLiteral("txtPlugin_AuthorUrl"), details.authorUrl,
                                           Twips(2745, 3960, 3975, 420), frame);
    // Hints, not values: a field left empty stays out of the plugin's header.
    txtPlugin_Description->setPlaceholderText(QStringLiteral("Enter your description..."));
    txtPlugin_Author->setPlaceholderText(QStringLiteral("Enter Your Name..."));
    txtPlugin_AuthorUrl->setPlaceholderText(QStringLiteral("Enter Your Url ..."));
    label(QStringLiteral("License:"), Twips(1305, 4500, 1185, 285), frame);
    txtPlugin_License = field<QLineEdit>(QStringLiteral("txtPlugin_License"), details.license,
                                         Twips(2745, 4500, 960, 420), frame);

    Command3 = new QPushButton(QStringLiteral("Create Plugin"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command3->setGeometry(Twips(4320, 6750, 2805, 645));
    Command1 = new QPushButton(QStringLiteral("Close Window"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(Twips(7290, 6750, 2805, 645));
    for (QPushButton* button : {Command3, Command1})
        button->setFont(QFont(QStringLiteral("Verdana"), 9));

    connect(cmdGenerateIdentifier, &QPushButton::clicked, this, &frmConvert::cmdGenerateIdentifier_Click);
    connect(Command1, &QPushButton::clicked, this, &frmConvert::Command1_Click);
    connect(Command3, &QPushButton::clicked, this, &frmConvert::Command3_Click);

    if (details.identifier.isEmpty())
        GenerateIdentifier();
}

PluginDetails frmConvert::Details() const {
    PluginDetails details;
    details.identifier = txtPluginID->text();
    details.name = txtPlugin_Name->text();
    details.uri = txtPlugin_Uri->text();
    details.description = txtPlugin_Description->toPlainText();
    details.version = txtPlugin_Version->text();
    details.author = txtPlugin_Author->text();
    details.authorUrl = txtPlugin_AuthorUrl->text();
    details.license = txtPlugin_License->text();
    return details;
}

void frmConvert::GenerateIdentifier() {
    txtPluginID->setText(::GenerateIdentifier(m_tools));
}

void frmConvert::cmdGenerateIdentifier_Click() {
    GenerateIdentifier();
}

void frmConvert::Command1_Click() {
    close();
}

void frmConvert::SetBusy(bool busy) {
    m_building = busy;
    Command3->setText(busy ? QStringLiteral("Please Wait...") : QStringLiteral("Create Plugin"));
    for (QWidget* control :
         std::initializer_list<QWidget*>{Command3, txtPluginID, cmdGenerateIdentifier, Command1})
        control->setEnabled(!busy);
}

void frmConvert::Command3_Click() {
    const PluginDetails details = Details();
    const QString refusal = PluginBuilder(m_roots, m_tools, m_messages).Refusal(m_funnel, details);
    if (!refusal.isEmpty()) {
        m_messages.Show(QStringLiteral("Important"), refusal);
        return;
    }

    SetBusy(true);
    // Paint "Please Wait..." before the build takes the thread.
    QCoreApplication::processEvents();
    FunnelTokens tokens = m_tokens;
    try {
        PluginBuilder builder(m_roots, m_tools, m_messages);
        builder.Build(m_funnel, details, &tokens);
    } catch (const BuildError& error) {
        SetBusy(false);
        m_messages.Show(QStringLiteral("Error"),
                        PluginBuilder::ErrorMessage(error.number(), error.description()));
        return;
    } catch (const std::exception& error) {
        SetBusy(false);
        m_messages.Show(QStringLiteral("Error"),
                        PluginBuilder::ErrorMessage(0, QString::fromLocal8Bit(error.what())));
        return;
    }
    SetBusy(false);
    m_tokens = tokens;
    emit built(details, tokens);
    m_messages.Show(
        QStringLiteral("Done"),
        QStringLiteral("Done! Your plugin is ready. The software will now open the output window."));
    m_shell.OpenFolder(m_roots.Output());
    close();
}
