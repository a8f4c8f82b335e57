// A record of the control's buffer parameters (kest_records.h) as the forms
// build and read it: fields by offset and width, little-endian numbers,
// zero-padded ASCII texts, addresses first number first. Reads and writes
// stay inside the record whatever offset and width say.
#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

namespace kestcfg {

class RecordBytes {
  public:
    explicit RecordBytes(int size) : m_bytes(size, '\0') {}
    // A record as a call returned it, made (or cut) to size bytes.
    RecordBytes(const QByteArray& bytes, int size);

    int64_t integer(int offset, int width) const;  // signed
    uint32_t unsignedInteger(int offset, int width) const;
    void setInteger(int offset, int width, int64_t value);

    // The text up to its first zero byte.
    QString text(int offset, int width) const;
    // Latin-1, cut to width, zero-padded.
    void setText(int offset, int width, const QString& text);

    std::array<uint8_t, 4> address(int offset) const;
    void setAddress(int offset, const std::array<uint8_t, 4>& address);

    const QByteArray& bytes() const { return m_bytes; }
    int size() const { return int(m_bytes.size()); }

  private:
    bool inside(int offset, int width) const;

    QByteArray m_bytes;
};

}  // namespace kestcfg
