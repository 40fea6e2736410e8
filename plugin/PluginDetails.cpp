#include "plugin/PluginDetails.h"

#include "generate/FunnelChecks.h"
#include "platform/KelvrinParser.h"
#include "platform/KelvrinTools.h"
#include "plugin/WordPressNames.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

bool isLineBreak(char32_t c) {
    return c == U'\n' || c == U'\r' || c == U'\v' || c == U'\f' || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool hasControlCharacter(const QString& text, bool lineBreaksAllowed = false) {
    for (char32_t c : text.toUcs4()) {
        if (lineBreaksAllowed && (isLineBreak(c) || c == U'\t'))
            continue;
        const QChar::Category category = QChar::category(c);
        if (category == QChar::Other_Control || category == QChar::Separator_Line ||
            category == QChar::Separator_Paragraph)
            return true;
    }
    return false;
}

// The marks that reorder text on screen, so a name could show other than it reads.
bool hasDirectionControl(const QString& text) {
    for (char32_t c : text.toUcs4())
        if (c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
            (c >= 0x2066 && c <= 0x2069))
            return true;
    return false;
}

bool hasVisibleCharacter(const QString& text) {
    for (char32_t c : text.toUcs4()) {
        switch (QChar::category(c)) {
        case QChar::Letter_Uppercase:
        case QChar::Letter_Lowercase:
        case QChar::Letter_Titlecase:
        case QChar::Letter_Modifier:
        case QChar::Letter_Other:
        case QChar::Number_DecimalDigit:
        case QChar::Number_Letter:
        case QChar::Number_Other:
        case QChar::Punctuation_Connector:
        case QChar::Punctuation_Dash:
        case QChar::Punctuation_Open:
        case QChar::Punctuation_Close:
        case QChar::Punctuation_InitialQuote:
        case QChar::Punctuation_FinalQuote:
        case QChar::Punctuation_Other:
        case QChar::Symbol_Math:
        case QChar::Symbol_Currency:
        case QChar::Symbol_Modifier:
        case QChar::Symbol_Other:
            return true;
        default:
            break;
        }
    }
    return false;
}

// Windows keeps these names for devices, whatever follows the first dot, and no file or folder
// can have them: its naming rules list the serial and parallel ports 0 to 9 and with the
// superscript digits, and the console's input and output.
bool isWindowsDeviceName(const QString& fileName) {
    static const QRegularExpression device(
        QRegularExpression::anchoredPattern(
            QStringLiteral("(con|prn|aux|nul|conin\\$|conout\\$|(com|lpt)[0-9\u00B9\u00B2\u00B3])(\\..*)?")),
        QRegularExpression::CaseInsensitiveOption);
    return device.match(fileName).hasMatch();
}

struct Field {
    const QString* text;
    const char* label;
};

} // namespace

bool PluginDetails::RequiredFieldsFilled() const {
    return !identifier.isEmpty() && !name.isEmpty();
}

QString PluginDetails::SafetyProblem() const {
    // The identifier names the plugin folder and prefixes every PHP name of the plugin; the whole
    // text must match, a final line break included.
    // Small letters only: PHP and WordPress compare most names without regard to case, so "Dup"
    // and "dup" would be two plugins that define the same functions and share their data.
    static const QRegularExpression identifierPattern(
        QRegularExpression::anchoredPattern(QStringLiteral("[a-z][a-z0-9_]{0,19}")));
    if (!identifierPattern.match(identifier).hasMatch())
        return QStringLiteral(
            "The unique identifier may hold only small letters, digits and underscores, must start "
            "with a letter and may be at most 20 characters long.");
    if (isWindowsDeviceName(identifier))
        return QStringLiteral("The unique identifier \"%1\" names the plugin folder, and it is a name "
                              "that Windows keeps for a device. Please choose another one, or press "
                              "\"Generate New\".")
            .arg(identifier);
    if (IsWordPressReservedName(identifier))
        return QStringLiteral("The unique identifier \"%1\" is a name that WordPress uses for its own "
                              "addresses. Please choose another one, or press \"Generate New\".")
            .arg(identifier);

    const Field fields[] = {{&name, "Plugin Name"}, {&uri, "Plugin URI"}, {&description, "Description"},
                            {&version, "Version"},  {&author, "Author"},  {&authorUrl, "Author Url"},
                            {&license, "License"}};
    for (const Field& field : fields) {
        const bool multiLine = field.text == &description;
        if (hasControlCharacter(*field.text, multiLine))
            return multiLine ? QStringLiteral("The field \"%1\" must not contain control characters.")
                                   .arg(QLatin1String(field.label))
                             : QStringLiteral("The field \"%1\" must be a single line without control "
                                              "characters.")
                                   .arg(QLatin1String(field.label));
        if (hasDirectionControl(*field.text))
            return QStringLiteral("The field \"%1\" must not contain characters that change the "
                                  "direction of the text.")
                .arg(QLatin1String(field.label));
        if (field.text->contains(QLatin1String("*/")))
            return QStringLiteral(
                "The plugin details must not contain \"*/\": it would end the plugin header.");
        // WordPress's header reader cuts every field at "?>" as at "*/".
        if (field.text->contains(QLatin1String("?>")))
            return QStringLiteral("The field \"%1\" must not contain \"?>\": WordPress would cut the "
                                  "plugin header's field there.")
                .arg(QLatin1String(field.label));
    }

    // WordPress links these from the plugin list: only web addresses make sense there.
    for (const Field& field : {Field{&uri, "Plugin URI"}, Field{&authorUrl, "Author Url"}})
        if (!field.text->isEmpty() && !IsWebAddress(*field.text))
            return QStringLiteral("The field \"%1\" must be a web address beginning with http:// or "
                                  "https://, or left empty.")
                .arg(QLatin1String(field.label));

    if (name.size() > kMaxNameLength)
        return QStringLiteral("The plugin name may be at most %1 characters long.").arg(kMaxNameLength);
    const QString archiveProblem = ArchiveNameProblem(ArchiveName(name));
    if (!archiveProblem.isEmpty())
        return archiveProblem;
    if (!hasVisibleCharacter(name))
        return QStringLiteral("The plugin name must show at least one visible character.");
    return {};
}

QString GenerateIdentifier(KelvrinTools& tools) {
    const auto first = qint16(tools.RandomNumber(999));
    const auto second = qint16(tools.RandomNumber(999));
    return QStringLiteral("p") + QString::number(first) + QString::number(second);
}

QString ArchiveNameProblem(const QString& archive) {
    if (archive.isEmpty())
        return QStringLiteral("The plugin name must show at least one visible character, and it also "
                              "names the archive, so it must hold a letter or a digit.");
    if (archive.contains(QLatin1Char('/')) || archive.contains(QLatin1Char('\\')))
        return QStringLiteral("The plugin name also names the archive, so it must not contain \"/\" or "
                              "\"\\\".");
    if (isWindowsDeviceName(archive))
        return QStringLiteral("The plugin name also names the archive, and \"%1\" is a name that "
                              "Windows keeps for a device. Please choose another name.")
            .arg(archive);
    return {};
}

QString ArchiveName(const QString& pluginName) {
    const QString squeezed = KelvrinParser::ReplaceText(pluginName, QStringLiteral(" "), QString()).toLower();
    // Letters, digits and single dashes only: a name that every system, shell, upload form and
    // address takes as it is. The plugin keeps its name as typed.
    QString archive;
    for (const QChar c : squeezed) {
        if (c.isLetterOrNumber())
            archive += c;
        else if (!archive.isEmpty() && !archive.endsWith(QLatin1Char('-')))
            archive += QLatin1Char('-');
    }
    while (archive.endsWith(QLatin1Char('-')))
        archive.chop(1);
    return archive;
}
