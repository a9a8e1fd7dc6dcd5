#pragma once

#include <QString>
#include <cstdint>

namespace orbalis {

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

} // namespace orbalis
