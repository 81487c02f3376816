#include "RecordDecoder.h"

#include "records/Utf8.h"

#include <bit>
#include <cstring>

namespace quarrow::carving {

namespace {

std::uint16_t unit16(const char* p, bool bigEndian) {
    const auto a = static_cast<std::uint8_t>(p[0]);
    const auto b = static_cast<std::uint8_t>(p[1]);
    return static_cast<std::uint16_t>(bigEndian ? a << 8 | b : b << 8 | a);
}

// UTF-16 to UTF-8; the text was checked with validText first, or unpaired surrogates become U+FFFD.
std::string utf8FromUtf16(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::uint32_t cp = unit16(bytes.data() + i, bigEndian);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size()) {
            const std::uint32_t low = unit16(bytes.data() + i + 2, bigEndian);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            } else {
                cp = 0xFFFD;
            }
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | cp >> 6);
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | cp >> 12);
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | cp >> 18);
            out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

} // namespace

Value decodeValue(std::uint64_t t, const std::uint8_t* p, TextEncoding encoding) {
    Value v;
    if (t == Serial::kNull || Serial::isReserved(t)) {
        return v;
    }
    if (t == Serial::kZero || t == Serial::kOne) {
        v.type = Value::Type::Integer;
        v.integer = t == Serial::kOne ? 1 : 0;
        return v;
    }
    if (t == Serial::kFloat) {
        v.type = Value::Type::Real;
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) {
            bits = bits << 8 | p[i];
        }
        v.real = std::bit_cast<double>(bits);
        return v;
    }
    if (t <= 6) {
        v.type = Value::Type::Integer;
        v.integer = signedBigEndian(p, static_cast<std::uint32_t>(Serial::contentSize(t)));
        return v;
    }
    const auto size = static_cast<std::size_t>(Serial::contentSize(t));
    const std::string_view raw(reinterpret_cast<const char*>(p), size);
    if (Serial::isText(t)) {
        v.type = Value::Type::Text;
        v.bytes =
            encoding == TextEncoding::Utf8 ? std::string(raw) : utf8FromUtf16(raw, encoding == TextEncoding::Utf16be);
    } else {
        v.type = Value::Type::Blob;
        v.bytes = std::string(raw);
    }
    return v;
}

void applyAffinity(Value& value, Affinity affinity) {
    if (affinity == Affinity::Real && value.type == Value::Type::Integer) {
        value.type = Value::Type::Real;
        value.real = static_cast<double>(value.integer);
        value.integer = 0;
    }
}

bool validText(std::string_view bytes, TextEncoding encoding) {
    if (encoding == TextEncoding::Utf8) {
        return isStrictUtf8(bytes);
    }
    if (bytes.size() % 2 != 0) {
        return false;
    }
    const bool bigEndian = encoding == TextEncoding::Utf16be;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const std::uint16_t u = unit16(bytes.data() + i, bigEndian);
        if (u >= 0xDC00 && u <= 0xDFFF) {
            return false;
        }
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 3 >= bytes.size()) {
                return false;
            }
            const std::uint16_t low = unit16(bytes.data() + i + 2, bigEndian);
            if (low < 0xDC00 || low > 0xDFFF) {
                return false;
            }
            i += 2;
        }
    }
    return true;
}

std::optional<std::uint32_t> readColumnTypes(Bytes b, std::size_t at, std::size_t end, const TableShape& table,
                                             std::size_t firstColumn, std::vector<std::uint64_t>& types,
                                             std::uint64_t& bodySize) {
    end = std::min(end, b.size());
    std::size_t pos = at;
    const std::size_t columns = table.columns.size();
    for (std::size_t c = firstColumn; c < columns; ++c) {
        if (pos >= end) {
            return std::nullopt;
        }
        std::uint64_t t = b[pos];
        if (t < 0x80) {
            ++pos;
        } else {
            const Varint v = readVarint(b.first(end), pos);
            if (v.length == 0) {
                return std::nullopt;
            }
            t = v.value;
            pos += v.length;
        }
        if (!typeFits(t, table.columns[c].affinity, static_cast<int>(c) == table.rowidAlias)) {
            return std::nullopt;
        }
        types.push_back(t);
        bodySize += Serial::contentSize(t);
    }
    return static_cast<std::uint32_t>(pos - at);
}

std::optional<RecordHeader> readRecordHeader(Bytes payload, const TableShape& table, bool allowFewer) {
    const Varint size = readVarint(payload, 0);
    if (size.length == 0 || size.value < size.length || size.value > payload.size()) {
        return std::nullopt;
    }
    RecordHeader h;
    h.headerSize = static_cast<std::uint32_t>(size.value);
    std::size_t pos = size.length;
    const std::size_t columns = table.columns.size();
    for (std::size_t c = 0; c < columns && pos < h.headerSize; ++c) {
        const Varint t = readVarint(payload.first(h.headerSize), pos);
        if (t.length == 0 || !typeFits(t.value, table.columns[c].affinity, static_cast<int>(c) == table.rowidAlias)) {
            return std::nullopt;
        }
        h.types.push_back(t.value);
        h.bodySize += Serial::contentSize(t.value);
        pos += t.length;
    }
    if (pos != h.headerSize || (!allowFewer && h.types.size() != columns)) {
        return std::nullopt;
    }
    return h;
}

std::optional<std::vector<Value>> decodeRecord(Bytes payload, const TableShape& table, TextEncoding encoding,
                                               bool allowFewer) {
    const auto h = readRecordHeader(payload, table, allowFewer);
    if (!h || h->payloadSize() > payload.size()) {
        return std::nullopt;
    }
    std::vector<Value> values(table.columns.size());
    std::size_t pos = h->headerSize;
    for (std::size_t c = 0; c < h->types.size(); ++c) {
        values[c] = decodeValue(h->types[c], payload.data() + pos, encoding);
        applyAffinity(values[c], table.columns[c].affinity);
        pos += Serial::contentSize(h->types[c]);
    }
    return values;
}

} // namespace quarrow::carving
