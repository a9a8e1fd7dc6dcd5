#pragma once

#include <QString>
#include <cstdint>

namespace orbalis {

struct ReplyJudgement;

// What a controller's exception code means, as the console reports it. One
// table holds both wordings: the reply texts of the reads and the refusal
// texts of the write cycle.

// " Exception reply, code 2 (illegal data address) !"; codes without a
// meaning show the number alone.
QString exceptionReplyText(std::uint8_t code);

// " Address Error 請檢查您的參數位址 !" for codes 1 to 3; any other code is
// an unrecognised reply.
QString writeRefusalText(std::uint8_t code);

// " Error ? 無法辨識通訊格式 !"
QString unrecognisedReplyText();

// The outcome of a read of parameters as the parameter window appends it:
// "Check CRC Ok !", "No Answer !", "Check CRC Error !", "Wrong Reply !" (a
// good CRC, but not the asked controller's answer to the read), or "Check
// CRC Ok !" and the refusal (" Exception reply, code 2 (...) !").
QString parameterReadText(const ReplyJudgement &judged);

} // namespace orbalis
