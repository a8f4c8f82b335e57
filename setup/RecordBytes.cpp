#include "setup/RecordBytes.h"

namespace kestcfg {

RecordBytes::RecordBytes(const QByteArray& bytes, int size) : m_bytes(bytes.left(size)) {
    if (m_bytes.size() < size) m_bytes.append(QByteArray(size - m_bytes.size(), '\0'));
}

bool RecordBytes::inside(int offset, int width) const {
    return offset >= 0 && width >= 0 && offset + width <= m_bytes.size();
}

int64_t RecordBytes::integer(int offset, int width) const {
    if (!inside(offset, width) || width == 0 || width > 4) return 0;
    const uint32_t raw = unsignedInteger(offset, width);
    const int bits = width * 8;
    if (bits < 32 && (raw >> (bits - 1)) & 1) return int64_t(raw) - (int64_t(1) << bits);
    return bits == 32 ? int64_t(int32_t(raw)) : int64_t(raw);
}

uint32_t RecordBytes::unsignedInteger(int offset, int width) const {
    if (!inside(offset, width) || width > 4) return 0;
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = value << 8 | uint8_t(m_bytes[offset + i]);
    return value;
}

void RecordBytes::setInteger(int offset, int width, int64_t value) {
    if (!inside(offset, width) || width > 4) return;
    for (int i = 0; i < width; ++i)
        m_bytes[offset + i] = char(uint8_t(uint64_t(value) >> (8 * i)));
}

QString RecordBytes::text(int offset, int width) const {
    if (!inside(offset, width)) return {};
    const QByteArray field = m_bytes.mid(offset, width);
    const qsizetype zero = field.indexOf('\0');
    return QString::fromLatin1(zero < 0 ? field : field.left(zero));
}

void RecordBytes::setText(int offset, int width, const QString& text) {
    if (!inside(offset, width)) return;
    const QByteArray bytes = text.toLatin1().left(width);
    for (int i = 0; i < width; ++i)
        m_bytes[offset + i] = i < bytes.size() ? bytes[i] : '\0';
}

std::array<uint8_t, 4> RecordBytes::address(int offset) const {
    std::array<uint8_t, 4> a{};
    if (!inside(offset, 4)) return a;
    for (int i = 0; i < 4; ++i)
        a[size_t(i)] = uint8_t(m_bytes[offset + i]);
    return a;
}

void RecordBytes::setAddress(int offset, const std::array<uint8_t, 4>& address) {
    if (!inside(offset, 4)) return;
    for (int i = 0; i < 4; ++i)
        m_bytes[offset + i] = char(address[size_t(i)]);
}

}  // namespace kestcfg
