#include "exception_texts.h"

#include "reply_judge.h"

#include <array>

namespace orbalis {

namespace {

struct ExceptionText {
    std::uint8_t code;
    const char *meaning;
    const char *writeRefusal; // UTF-8; null where the write cycle has no text of its own
};

constexpr std::array<ExceptionText, 4> ExceptionTexts{{
    {1, "illegal function", " Function Error 請檢查您的指令 !"},
    {2, "illegal data address", " Address Error 請檢查您的參數位址 !"},
    {3, "illegal data value", " Data Error 請檢查您的資料 !"},
    {4, "device failure", nullptr},
}};

const ExceptionText *textOf(std::uint8_t code)
{
    for (const ExceptionText &t : ExceptionTexts)
        if (t.code == code)
            return &t;
    return nullptr;
}

} // namespace

QString exceptionReplyText(std::uint8_t code)
{
    const ExceptionText *t = textOf(code);
    const QString meaning = t ? QStringLiteral(" (") + QLatin1String(t->meaning) + QLatin1Char(')') : QString();
    return QStringLiteral(" Exception reply, code %1%2 !").arg(code).arg(meaning);
}

QString writeRefusalText(std::uint8_t code)
{
    const ExceptionText *t = textOf(code);
    return t && t->writeRefusal ? QString::fromUtf8(t->writeRefusal) : unrecognisedReplyText();
}

QString unrecognisedReplyText()
{
    return QStringLiteral(" Error ? 無法辨識通訊格式 !");
}

QString parameterReadText(const ReplyJudgement &judged)
{
    switch (judged.outcome) {
    case LineOutcome::Good: return QStringLiteral("Check CRC Ok !");
    case LineOutcome::NoAnswer: return QStringLiteral("No Answer !");
    case LineOutcome::CrcError: return QStringLiteral("Check CRC Error !");
    case LineOutcome::WrongReply: return QStringLiteral("Wrong Reply !");
    case LineOutcome::ExceptionReply: break;
    }
    return QStringLiteral("Check CRC Ok !") + exceptionReplyText(judged.exceptionCode);
}

} // namespace orbalis
