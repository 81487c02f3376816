#include "SqliteFormat.h"

#include <algorithm>
#include <cstring>

namespace quarrow::carving {

std::int64_t signedBigEndian(const std::uint8_t* p, std::uint32_t n) {
    std::uint64_t v = p[0] & 0x80 ? ~std::uint64_t{0} : 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        v = v << 8 | p[i];
    }
    return static_cast<std::int64_t>(v);
}

std::uint32_t pageSizeFromField(std::uint16_t field) {
    if (field == 1) {
        return kMaxPageSize;
    }
    if (field < kMinPageSize || (field & (field - 1)) != 0) {
        return 0;
    }
    return field;
}

std::optional<DatabaseHeader> parseDatabaseHeader(Bytes first) {
    if (first.size() < kDatabaseHeaderSize ||
        std::memcmp(first.data(), kDatabaseMagic.data(), kDatabaseMagic.size()) != 0) {
        return std::nullopt;
    }
    DatabaseHeader h;
    h.pageSize = pageSizeFromField(be16(first.data() + 16));
    h.writeVersion = first[18];
    h.reservedBytes = first[20];
    // SQLite itself refuses a usable size below 480 bytes.
    if (h.pageSize == 0 || h.pageSize - h.reservedBytes < 480) {
        return std::nullopt;
    }
    if (be32(first.data() + 24) == be32(first.data() + 92)) {
        h.pageCount = be32(first.data() + 28);
    }
    h.firstTrunk = be32(first.data() + 32);
    h.freePages = be32(first.data() + 36);
    h.schemaFormat = be32(first.data() + 44);
    h.autoVacuumRoot = be32(first.data() + 52);
    const std::uint32_t encoding = be32(first.data() + 56);
    if (encoding == 0) {
        h.encoding = TextEncoding::Utf8; // an empty database has not chosen yet
    } else if (encoding <= 3) {
        h.encoding = static_cast<TextEncoding>(encoding);
    } else {
        return std::nullopt;
    }
    return h;
}

std::optional<BtreePageHeader> parseBtreePageHeader(Bytes page, std::uint32_t headerOffset, std::uint32_t usable) {
    const std::size_t limit = std::min<std::size_t>(page.size(), usable);
    if (!fits(limit, headerOffset, 8)) {
        return std::nullopt;
    }
    const std::uint8_t* p = page.data() + headerOffset;
    BtreePageHeader h;
    h.type = p[0];
    if (!PageType::isBtree(h.type)) {
        return std::nullopt;
    }
    h.headerOffset = headerOffset;
    h.firstFreeblock = be16(p + 1);
    h.cellCount = be16(p + 3);
    h.contentStart = be16(p + 5) == 0 ? 65536 : be16(p + 5);
    if (!h.leaf()) {
        if (!fits(limit, headerOffset, 12)) {
            return std::nullopt;
        }
        h.rightChild = be32(p + 8);
    }
    if (h.pointerArrayEnd() > limit) {
        return std::nullopt;
    }
    return h;
}

std::uint64_t localPayloadSize(std::uint64_t payload, std::uint32_t usable, bool tableLeaf) {
    // The largest payload kept whole on the page, and the least a split payload keeps there.
    const std::uint64_t u = usable;
    const std::uint64_t maxLocal = tableLeaf ? u - 35 : (u - 12) * 64 / 255 - 23;
    const std::uint64_t minLocal = (u - 12) * 32 / 255 - 23;
    if (payload <= maxLocal) {
        return payload;
    }
    const std::uint64_t k = minLocal + (payload - minLocal) % (u - 4);
    return k <= maxLocal ? k : minLocal;
}

std::uint64_t overflowPageCount(std::uint64_t payload, std::uint32_t usable, bool tableLeaf) {
    const std::uint64_t local = localPayloadSize(payload, usable, tableLeaf);
    const std::uint64_t rest = payload - local;
    return (rest + usable - 5) / (usable - 4);
}

std::optional<Cell> parseCell(Bytes page, std::uint32_t at, std::uint8_t pageType, std::uint32_t usable) {
    const std::size_t limit = std::min<std::size_t>(page.size(), usable);
    if (at >= limit) {
        return std::nullopt;
    }
    const Bytes b = page.first(limit);
    Cell c;
    c.start = at;
    std::size_t pos = at;
    if (pageType == PageType::kTableInterior || pageType == PageType::kIndexInterior) {
        if (!fits(limit, pos, 4)) {
            return std::nullopt;
        }
        c.leftChild = be32(b.data() + pos);
        pos += 4;
    }
    if (pageType != PageType::kTableInterior) {
        const Varint size = readVarint(b, pos);
        if (size.length == 0) {
            return std::nullopt;
        }
        c.hasPayload = true;
        c.payloadSize = size.value;
        pos += size.length;
    }
    if (pageType == PageType::kTableLeaf || pageType == PageType::kTableInterior) {
        const Varint rowid = readVarint(b, pos);
        if (rowid.length == 0) {
            return std::nullopt;
        }
        c.hasRowid = true;
        c.rowid = static_cast<std::int64_t>(rowid.value);
        pos += rowid.length;
    }
    if (c.hasPayload) {
        const std::uint64_t local = localPayloadSize(c.payloadSize, usable, pageType == PageType::kTableLeaf);
        if (!fits(limit, pos, local)) {
            return std::nullopt;
        }
        c.payloadStart = static_cast<std::uint32_t>(pos);
        c.localSize = static_cast<std::uint32_t>(local);
        pos += local;
        if (local < c.payloadSize) {
            if (!fits(limit, pos, 4)) {
                return std::nullopt;
            }
            c.firstOverflow = be32(b.data() + pos);
            pos += 4;
        }
    }
    c.end = static_cast<std::uint32_t>(pos);
    return c;
}

} // namespace quarrow::carving
