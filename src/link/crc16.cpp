#include "frames.h"

namespace orbalis {

std::uint16_t Crc16(const std::uint8_t *data, std::size_t size)
{
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? std::uint16_t((crc >> 1) ^ 0xA001) : std::uint16_t(crc >> 1);
    }
    return crc;
}

std::uint16_t Crc16(const QByteArray &bytes)
{
    return Crc16(reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size()));
}

bool hasValidCrc(const QByteArray &frame)
{
    const qsizetype n = frame.size();
    if (n < 2)
        return false;
    const std::uint16_t crc =
        Crc16(reinterpret_cast<const std::uint8_t *>(frame.constData()), std::size_t(n - 2));
    return std::uint8_t(frame[n - 2]) == (crc & 0xFF) && std::uint8_t(frame[n - 1]) == (crc >> 8);
}

QByteArray withCrc(QByteArray frame)
{
    const std::uint16_t crc = Crc16(frame);
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
    return frame;
}

} // namespace orbalis
