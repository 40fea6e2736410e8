#include "plugin/frmConvert.h"

#include "platform/BuildError.h"
#include "platform/KelvrinTools.h"
#include "platform/Messages.h"
#include "platform/ScreenFit.h"
#include "platform/Shell.h"
#include "platform/Twips.h"
#include "plugin/PluginBuilder.h"

#include <QCloseEvent>
#include <algorithm>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

// A field's caption: its mnemonic moves the focus to the field.
QLabel* caption(const QString& text, QWidget* field) {
    auto* result = new QLabel(text, field->parentWidget());
    result->setBuddy(field);
    return result;
}

// A hint beside a field, wrapped to the room it has.
QLabel* hint(const QString& text, QWidget* parent) {
    auto* result = new QLabel(text, parent);
    result->setWordWrap(true);
    return result;
}

template <typename Field>
Field* field(const QString& name, const QString& text, int widthTwips, QWidget* parent) {
    auto* result = new Field(parent);
    result->setObjectName(name);
    if constexpr (std::is_same_v<Field, QPlainTextEdit>)
        result->setPlainText(text);
    else
        result->setText(text);
    result->setMinimumWidth(TwipsToPixels(widthTwips));
    return result;
}

} // namespace

frmConvert::frmConvert(AppRoots roots, const FunnelModel& funnel, const PluginDetails& details,
                       FunnelTokens tokens, KelvrinTools& tools, Messages& messages, Shell& shell,
                       QWidget* parent)
    : QDialog(parent)
    , m_roots(std::move(roots))
    , m_funnel(funnel)
    , m_tools(tools)
    , m_messages(messages)
    , m_shell(shell)
    , m_tokens(std::move(tokens)) {
    // A funnel built before has an archive under the name it had then.
    if (std::any_of(m_tokens.sales.begin(), m_tokens.sales.end(), [](const QString& t) { return !t.isEmpty(); }))
        m_previousArchive = PluginBuilder(m_roots, m_tools, m_messages).ArchivePath(details);
    setObjectName(QStringLiteral("frmConvert"));
    setWindowTitle(QStringLiteral("Create Plugin"));

    // Laid out rather than placed, so every text fits in the platform's fonts at any scale.
    auto* top = new QHBoxLayout;
    txtPluginID = field<QLineEdit>(QStringLiteral("txtPluginID"), details.identifier, 1725, this);
    top->addWidget(caption(QStringLiteral("Unique &Identifier"), txtPluginID));
    top->addWidget(txtPluginID);
    // The identifier is kept in small letters, as the plugin's names in WordPress are.
    connect(txtPluginID, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (text == text.toLower())
            return;
        const int cursor = txtPluginID->cursorPosition();
        txtPluginID->setText(text.toLower());
        txtPluginID->setCursorPosition(cursor);
    });
    cmdGenerateIdentifier = new QPushButton(QStringLiteral("&Generate New"), this);
    cmdGenerateIdentifier->setObjectName(QStringLiteral("cmdGenerateIdentifier"));
    top->addWidget(cmdGenerateIdentifier);
    top->addWidget(
        hint(QStringLiteral("This is a unique identifier for the internal use of the plugin."), this), 1);

    auto* frame = new QGroupBox(QStringLiteral("Enter Your Plugin Details"), this);
    frame->setObjectName(QStringLiteral("Frame2"));
    QFont frameFont = frame->font();
    frameFont.setBold(true);
    frame->setFont(frameFont);
    // Only the title is bold: the fields inside keep the normal weight.
    auto* frameContents = new QWidget(frame);
    QFont contentsFont = font();
    contentsFont.setBold(false);
    frameContents->setFont(contentsFont);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(frameContents);
    auto* form = new QFormLayout(frameContents);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(new QLabel(QStringLiteral("Enter the details of your plugin below:"), frameContents));

    txtPlugin_Name = field<QLineEdit>(QStringLiteral("txtPlugin_Name"), details.name, 2040, frameContents);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(txtPlugin_Name);
    nameRow->addWidget(hint(QStringLiteral("Please Keep this Name as Short as Possible. Allowed characters: "
                                           "letters, numbers and spaces."),
                            frameContents),
                       1);
    form->addRow(caption(QStringLiteral("Plugin &Name:"), txtPlugin_Name), nameRow);
    txtPlugin_Uri = field<QLineEdit>(QStringLiteral("txtPlugin_Uri"), details.uri, 3975, frameContents);
    form->addRow(caption(QStringLiteral("Plugin &URI:"), txtPlugin_Uri), txtPlugin_Uri);
    txtPlugin_Description = field<QPlainTextEdit>(QStringLiteral("txtPlugin_Description"),
                                                  details.description, 6000, frameContents);
    txtPlugin_Description->setFixedHeight(txtPlugin_Description->fontMetrics().lineSpacing() * 3 + 12);
    txtPlugin_Description->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab leaves the description as it leaves every other field.
    txtPlugin_Description->setTabChangesFocus(true);
    form->addRow(caption(QStringLiteral("&Description:"), txtPlugin_Description), txtPlugin_Description);
    txtPlugin_Version =
        field<QLineEdit>(QStringLiteral("txtPlugin_Version"), details.version, 915, frameContents);
    form->addRow(caption(QStringLiteral("&Version:"), txtPlugin_Version), txtPlugin_Version);
    txtPlugin_Author =
        field<QLineEdit>(QStringLiteral("txtPlugin_Author"), details.author, 3975, frameContents);
    form->addRow(caption(QStringLiteral("&Author:"), txtPlugin_Author), txtPlugin_Author);
    txtPlugin_AuthorUrl =
        field<QLineEdit>(QStringLiteral("txtPlugin_AuthorUrl"), details.authorUrl, 3975, frameContents);
    form->addRow(caption(QStringLiteral("Author U&rl:"), txtPlugin_AuthorUrl), txtPlugin_AuthorUrl);
    // Hints, not values: a field left empty stays out of the plugin's header.
    txtPlugin_Description->setPlaceholderText(QStringLiteral("Enter your description..."));
    txtPlugin_Author->setPlaceholderText(QStringLiteral("Enter Your Name..."));
    txtPlugin_AuthorUrl->setPlaceholderText(QStringLiteral("Enter Your Url ..."));
    txtPlugin_Uri->setPlaceholderText(QStringLiteral("The plugin's web page, if it has one..."));
    txtPlugin_License =
        field<QLineEdit>(QStringLiteral("txtPlugin_License"), details.license, 960, frameContents);
    form->addRow(caption(QStringLiteral("&License:"), txtPlugin_License), txtPlugin_License);
    for (QLineEdit* shortField : {txtPlugin_Name, txtPlugin_Version, txtPlugin_License})
        shortField->setMaximumWidth(shortField->minimumWidth() * 2);
    // Refused at the keyboard rather than after the whole build.
    txtPlugin_Name->setMaxLength(PluginDetails::kMaxNameLength);

    Command3 = new QPushButton(QStringLiteral("&Create Plugin"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command3->setDefault(true);
    Command1 = new QPushButton(QStringLiteral("Close &Window"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {Command3, Command1}) {
        button->setMinimumSize(Twips(0, 0, 2805, 645).size());
        buttons->addWidget(button);
    }
    buttons->addStretch();

    // The fields scroll where the screen is too small for them, the buttons stay in sight; the
    // fields' height follows their width, since the hints wrap.
    m_contents = new QWidget;
    auto* contentsLayout = new QVBoxLayout(m_contents);
    contentsLayout->setContentsMargins(TwipsToPixels(630), TwipsToPixels(360), TwipsToPixels(630), 0);
    contentsLayout->addLayout(top);
    contentsLayout->addWidget(frame);
    m_contents->setMinimumWidth(TwipsToPixels(11000));
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    // It scrolls to the field that Tab reaches and would show no focus of its own.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setWidgetResizable(true);
    m_scroll->setWidget(m_contents);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, TwipsToPixels(225));
    layout->addWidget(m_scroll, 1);
    layout->addLayout(buttons);

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

void frmConvert::reject() {
    if (!m_building)
        QDialog::reject();
}

void frmConvert::closeEvent(QCloseEvent* event) {
    if (m_building)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void frmConvert::showEvent(QShowEvent* event) {
    const int width = std::max(m_contents->minimumWidth(), m_contents->minimumSizeHint().width());
    const QSize wanted(width, m_contents->heightForWidth(width) + layout()->itemAt(1)->sizeHint().height() +
                                  layout()->spacing() + layout()->contentsMargins().bottom());
    resize(screen() ? ScreenFit::Bounded(wanted, screen()->availableGeometry()) : wanted);
    QDialog::showEvent(event);
}

void frmConvert::Command1_Click() {
    close();
}

void frmConvert::SetBusy(bool busy) {
    m_building = busy;
    Command3->setText(busy ? QStringLiteral("Please Wait...") : QStringLiteral("&Create Plugin"));
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
    QString archive;
    try {
        PluginBuilder builder(m_roots, m_tools, m_messages);
        archive = builder.Build(m_funnel, details, &tokens);
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
    emit built(details, tokens, archive);
    QString done =
        QStringLiteral("Done! Your plugin is ready. The software will now open the output window.\n\n"
                       "The plugin is %1 in the folder %2.")
            .arg(QFileInfo(archive).fileName(), QDir::toNativeSeparators(QFileInfo(archive).path()));
    // A rebuild under a new name removes nothing of the user's.
    if (!m_previousArchive.isEmpty() && m_previousArchive != archive && QFileInfo::exists(m_previousArchive))
        done += QStringLiteral("\n\nThe plugin built before under its earlier name, %1, is still in that "
                               "folder: delete it there if you no longer need it.")
                    .arg(QFileInfo(m_previousArchive).fileName());
    if (m_keeper) {
        // The identifier and tokens are the plugin's page addresses: they must outlive the funnel.
        const QString kept = m_keeper(archive);
        done += kept.isEmpty()
                    ? QStringLiteral("\n\nThe funnel could not be saved beside it: save it with File > Save "
                                     "to build this plugin again at the same page addresses.")
                    : QStringLiteral("\n\nThe funnel is saved beside it as %1: open that file to build this "
                                     "plugin again at the same page addresses.")
                          .arg(QFileInfo(kept).fileName());
    }
    m_messages.Show(QStringLiteral("Done"), done);
    m_shell.ShowFile(archive);
    close();
}
