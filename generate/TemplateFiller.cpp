#include "generate/TemplateFiller.h"

#include "platform/KelvrinFile.h"
#include "platform/KelvrinParser.h"

QString FillTokens(const QString& text, const TokenValues& tokens) {
    QString result = text;
    for (const auto& [token, value] : tokens)
        result = KelvrinParser::ReplaceText(result, token, value, 0);
    return result;
}

QString FillTemplate(const QString& path, const TokenValues& tokens) {
    QString text;
    KelvrinFile::LoadTextFile(text, path);
    return FillTokens(text, tokens);
}
