#include "app/SentenceText.h"

#include <QCoreApplication>
#include <QLocale>

namespace {

std::string translated(const char* inTemplate)
{
    return QCoreApplication::translate(CSentence::kScope, inTemplate).toStdString();
}

} // namespace

QString CSentenceText::textOf(const CSentence& sentence)
{
    const QLocale locale = CSentenceText::locale();
    std::vector<std::string> parts;
    parts.reserve(sentence.parts().size());
    for (const CSentence::Part& part : sentence.parts()) {
        if (const auto* number = std::get_if<std::uint64_t>(&part)) {
            parts.push_back(locale.toString(static_cast<qulonglong>(*number)).toStdString());
        } else if (const auto* duration = std::get_if<CSentence::SDuration>(&part)) {
            parts.push_back(CSentence::durationText(duration->ms, translated));
        } else if (const auto* name = std::get_if<CSentence::SName>(&part)) {
            //: Quotation marks around the name of a device or file, as the language writes them.
            parts.push_back(QCoreApplication::translate("RunReport", "\u201C%1\u201D")
                                .arg(QString::fromStdString(name->text))
                                .toStdString());
        } else if (const auto* text = std::get_if<std::string>(&part)) {
            parts.push_back(*text);
        } else if (const auto* nested = std::get_if<CSentence::Nested>(&part); nested != nullptr && *nested) {
            parts.push_back(textOf(**nested).toStdString());
        } else {
            parts.emplace_back();
        }
    }
    return QString::fromStdString(CSentence::fill(translated(sentence.text()), parts));
}

QLocale CSentenceText::locale()
{
    // The session's way of writing numbers and dates ("37.231" in Germany,
    // "37,231" in the US), which the window's translation sets as the default.
    return QLocale();
}

QString CSentenceText::durationOf(std::uint64_t ms)
{
    return QString::fromStdString(CSentence::durationText(ms, translated));
}

QString CSentenceText::sentenceOf(const CSentence& sentence)
{
    QString text = textOf(sentence);
    if (!text.isEmpty()) {
        text[0] = text[0].toUpper();
        if (!text.endsWith(QLatin1Char('.'))) {
            text += QLatin1Char('.');
        }
    }
    return text;
}
