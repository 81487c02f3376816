#include "DatabaseFile.h"

#include "DbFileReader.h"
#include "platform/Log.h"

#include <algorithm>

namespace quarrow::carving {

namespace {

// SQLite never builds a b-tree deeper than this; a deeper walk is a loop in a damaged file.
constexpr int kMaxDepth = 40;

} // namespace

std::unique_ptr<DatabaseFile> DatabaseFile::open(DatabaseFiles files, std::string where) {
    if (!files.db) {
        return nullptr;
    }
    std::unique_ptr<DatabaseFile> file(new DatabaseFile);
    file->files_ = files;
    file->where_ = std::move(where);
    std::uint8_t first[kDatabaseHeaderSize] = {};
    files.db->readAt(0, sizeof first, first);
    const auto onDisk = parseDatabaseHeader(Bytes(first, sizeof first));
    if (files.wal) {
        // A database whose every page still sits in the log has an empty main file.
        file->wal_ = WalFile::read(*files.wal, onDisk ? onDisk->pageSize : 0);
    }
    file->header_.pageSize = onDisk ? onDisk->pageSize : (file->wal_ ? file->wal_->pageSize() : 0);
    if (file->header_.pageSize == 0) {
        systemLog("Database " + file->where_ + " is no SQLite database: nothing carved");
        return nullptr;
    }
    file->filePages_ =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(files.db->size() / file->header_.pageSize, UINT32_MAX - 1));
    const std::uint32_t walPages = file->wal_ ? file->wal_->committedPageCount() : 0;
    file->pageCount_ = std::max<std::uint32_t>(file->filePages_, 1);
    std::vector<std::uint8_t> page1;
    file->readPage(1, page1);
    const auto current = parseDatabaseHeader(page1);
    if (!current || current->pageSize != file->header_.pageSize) {
        systemLog("Database " + file->where_ + " has no readable header: nothing carved");
        return nullptr;
    }
    file->header_ = *current;
    // The current size: the last commit of the log, else the header's count when it is to be
    // trusted, else the file's whole pages. A size beyond what the files can hold is damage.
    const std::uint64_t most = std::uint64_t{file->filePages_} + (file->wal_ ? file->wal_->frames().size() : 0) + 1;
    std::uint64_t count = walPages != 0                                                       ? walPages
                          : current->pageCount != 0 && current->pageCount <= file->filePages_ ? current->pageCount
                                                                                              : file->filePages_;
    file->pageCount_ = static_cast<std::uint32_t>(std::clamp<std::uint64_t>(count, 1, most));
    file->readSchema();
    return file;
}

const TableShape* DatabaseFile::table(std::string_view name) const {
    for (const TableShape& t : tables_) {
        if (sameName(t.name, name)) {
            return &t;
        }
    }
    return nullptr;
}

bool DatabaseFile::readPage(std::uint32_t page, std::vector<std::uint8_t>& out) const {
    const std::uint32_t size = header_.pageSize;
    out.resize(size);
    if (page == 0 || page > std::max(pageCount_, filePages_)) {
        std::fill(out.begin(), out.end(), 0);
        return false;
    }
    if (wal_) {
        if (const auto frame = wal_->currentFrame(page); frame && page <= pageCount_) {
            const std::uint64_t at = wal_->frames()[*frame].imageOffset;
            if (files_.wal->readAt(static_cast<std::int64_t>(at), size, out.data()) != size) {
                noteShortRead();
            }
            return true;
        }
    }
    const std::uint64_t at = std::uint64_t{page - 1} * size;
    const std::size_t expected = at < files_.db->size() ? std::min<std::uint64_t>(size, files_.db->size() - at) : 0;
    if (files_.db->readAt(static_cast<std::int64_t>(at), size, out.data()) != expected) {
        noteShortRead();
    }
    return true;
}

void DatabaseFile::noteShortRead() const {
    if (!shortReadLogged_) {
        shortReadLogged_ = true;
        systemLog("Database " + where_ + " became shorter while it was read; the missing bytes read as zeros");
    }
}

std::optional<std::vector<std::uint8_t>> DatabaseFile::payloadOf(Bytes page, const Cell& cell) const {
    if (!cell.hasPayload || !fits(page.size(), cell.payloadStart, cell.localSize)) {
        return std::nullopt;
    }
    const std::uint32_t usable = usableSize();
    // A payload larger than the whole database cannot be whole.
    if (cell.payloadSize > std::uint64_t{pageCount_} * usable) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> payload(page.begin() + cell.payloadStart,
                                      page.begin() + cell.payloadStart + cell.localSize);
    if (cell.localSize == cell.payloadSize) {
        return payload;
    }
    payload.reserve(static_cast<std::size_t>(cell.payloadSize));
    std::vector<std::uint8_t> image;
    std::uint32_t next = cell.firstOverflow;
    std::uint64_t pages = 0;
    const std::uint64_t needed = (cell.payloadSize - cell.localSize + usable - 5) / (usable - 4);
    while (payload.size() < cell.payloadSize) {
        if (next == 0 || next > pageCount_ || ++pages > needed) {
            return std::nullopt;
        }
        readPage(next, image);
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(usable - 4, cell.payloadSize - payload.size()));
        payload.insert(payload.end(), image.begin() + 4, image.begin() + 4 + static_cast<std::ptrdiff_t>(take));
        next = be32(image.data());
    }
    return payload;
}

void DatabaseFile::walkLeaves(std::uint32_t root, const std::function<bool(Bytes, const Cell&)>& f) const {
    std::vector<bool> seen(std::size_t{pageCount_} + 1, false);
    // Pages still to visit, the next one last; each with its depth.
    std::vector<std::pair<std::uint32_t, int>> stack{{root, 0}};
    std::vector<std::uint8_t> image;
    const std::uint32_t usable = usableSize();
    while (!stack.empty()) {
        const auto [page, depth] = stack.back();
        stack.pop_back();
        if (page == 0 || page > pageCount_ || seen[page] || depth > kMaxDepth) {
            continue;
        }
        seen[page] = true;
        readPage(page, image);
        const auto h = parseBtreePageHeader(image, headerOffsetOf(page), usable);
        if (!h) {
            continue;
        }
        if (!h->leaf()) {
            stack.emplace_back(h->rightChild, depth + 1);
            for (std::uint32_t i = h->cellCount; i-- > 0;) {
                const auto cell =
                    parseCell(image, be16(image.data() + h->pointerArrayStart() + std::size_t{2} * i), h->type, usable);
                if (cell) {
                    stack.emplace_back(cell->leftChild, depth + 1);
                }
            }
            continue;
        }
        for (std::uint32_t i = 0; i < h->cellCount; ++i) {
            const auto cell =
                parseCell(image, be16(image.data() + h->pointerArrayStart() + std::size_t{2} * i), h->type, usable);
            if (cell && !f(image, *cell)) {
                return;
            }
        }
    }
}

void DatabaseFile::forEachLiveRow(const TableShape& table,
                                  const std::function<bool(std::int64_t, std::vector<Value>&)>& f) const {
    walkLeaves(table.rootPage, [&](Bytes page, const Cell& cell) {
        if (!cell.hasRowid) {
            return true;
        }
        const auto payload = payloadOf(page, cell);
        if (!payload) {
            return true;
        }
        auto values = decodeRecord(*payload, table, encoding());
        if (!values) {
            return true;
        }
        if (table.rowidAlias >= 0) {
            Value& alias = (*values)[static_cast<std::size_t>(table.rowidAlias)];
            alias.type = Value::Type::Integer;
            alias.integer = cell.rowid;
        }
        return f(cell.rowid, *values);
    });
}

std::optional<std::vector<Value>> DatabaseFile::liveRow(const TableShape& table, std::int64_t rowid) const {
    std::vector<std::uint8_t> image;
    const std::uint32_t usable = usableSize();
    std::uint32_t page = table.rootPage;
    for (int depth = 0; depth <= kMaxDepth && page != 0 && page <= pageCount_; ++depth) {
        readPage(page, image);
        const auto h = parseBtreePageHeader(image, headerOffsetOf(page), usable);
        if (!h || !h->table()) {
            return std::nullopt;
        }
        if (h->leaf()) {
            for (std::uint32_t i = 0; i < h->cellCount; ++i) {
                const auto cell =
                    parseCell(image, be16(image.data() + h->pointerArrayStart() + std::size_t{2} * i), h->type, usable);
                if (cell && cell->rowid == rowid) {
                    const auto payload = payloadOf(image, *cell);
                    auto values = payload ? decodeRecord(*payload, table, encoding()) : std::nullopt;
                    if (values && table.rowidAlias >= 0) {
                        Value& alias = (*values)[static_cast<std::size_t>(table.rowidAlias)];
                        alias.type = Value::Type::Integer;
                        alias.integer = rowid;
                    }
                    return values;
                }
            }
            return std::nullopt;
        }
        // The first cell whose key is at least the rowid leads to it; past them all, the right child.
        std::uint32_t child = h->rightChild;
        for (std::uint32_t i = 0; i < h->cellCount; ++i) {
            const auto cell =
                parseCell(image, be16(image.data() + h->pointerArrayStart() + std::size_t{2} * i), h->type, usable);
            if (cell && rowid <= cell->rowid) {
                child = cell->leftChild;
                break;
            }
        }
        page = child;
    }
    return std::nullopt;
}

void DatabaseFile::readSchema() {
    roots_.push_back(1);
    const TableShape& master = schemaTableShape();
    walkLeaves(1, [&](Bytes page, const Cell& cell) {
        const auto payload = payloadOf(page, cell);
        const auto values = payload ? decodeRecord(*payload, master, encoding()) : std::nullopt;
        if (!values || (*values)[3].type != Value::Type::Integer) {
            return true;
        }
        const std::string& type = (*values)[0].bytes;
        const std::int64_t root = (*values)[3].integer;
        if (root <= 0 || root > pageCount_) {
            return true; // views, triggers, virtual tables, damage
        }
        roots_.push_back(static_cast<std::uint32_t>(root));
        if (type == "table") {
            auto shape = parseCreateTable((*values)[4].bytes);
            if (shape && !shape->withoutRowid) {
                shape->rootPage = static_cast<std::uint32_t>(root);
                tables_.push_back(std::move(*shape));
            }
        }
        return true;
    });
    std::sort(roots_.begin(), roots_.end());
    roots_.erase(std::unique(roots_.begin(), roots_.end()), roots_.end());
}

std::unique_ptr<DatabaseOnDisk> openDatabaseInPlace(const std::string& path, const std::string& where) {
    return openDatabaseInPlace(path, path + "-wal", path + "-journal", where);
}

std::unique_ptr<DatabaseOnDisk> openDatabaseInPlace(const std::string& path, const std::string& walPath,
                                                    const std::string& journalPath, const std::string& where) {
    auto opened = std::make_unique<DatabaseOnDisk>();
    opened->db = DbFileReader::openFile(path);
    if (!opened->db) {
        systemLog("Database " + where + " cannot be read as a regular file: nothing carved");
        return nullptr;
    }
    if (!walPath.empty()) {
        opened->wal = DbFileReader::openFile(walPath);
    }
    if (!journalPath.empty()) {
        opened->journal = DbFileReader::openFile(journalPath);
    }
    opened->file = DatabaseFile::open({opened->db.get(), opened->wal.get(), opened->journal.get()}, where);
    if (!opened->file) {
        return nullptr;
    }
    return opened;
}

} // namespace quarrow::carving
