#include "NoteStoreScanner.h"

#include "ScanContext.h"
#include "SqlRows.h"
#include "platform/Log.h"
#include "records/NoteDocument.h"
#include "records/ScanNotifications.h"
#include "records/ValueHelpers.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace quarrow {

namespace {

constexpr const char* kObjects = "ZICCLOUDSYNCINGOBJECT";
constexpr const char* kNoteData = "ZICNOTEDATA";

// A note's modification date has lived in these columns, newest name first.
constexpr const char* kModificationColumns[] = {"ZMODIFICATIONDATE1", "ZMODIFICATIONDATE"};
// The bin's folder type, and its title where a store has no folder types.
constexpr std::int64_t kTrashFolderType = 1;
constexpr std::string_view kTrashTitle = "Recently Deleted";

// The columns a store has, looked up once, case-insensitively as SQL names are.
class Columns {
public:
    Columns(sqlite3* db, const char* table) {
        for (std::string name : SqliteSource::tableColumns(db, table)) {
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
            names_.push_back(std::move(name));
        }
    }
    bool has(std::string_view name) const { return std::find(names_.begin(), names_.end(), name) != names_.end(); }
    bool empty() const { return names_.empty(); }

private:
    std::vector<std::string> names_;
};

// The entity number Core Data gave a name, from Z_PRIMARYKEY; nothing when the store has none.
std::optional<std::int64_t> entityNumber(sqlite3* db, const char* name) {
    const Statement stmt = prepareStatement(db, "SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = ?1");
    if (!stmt) {
        return std::nullopt;
    }
    sqlite3_bind_text(stmt.get(), 1, name, -1, SQLITE_STATIC);
    if (sqlite3_step(stmt.get()) != SQLITE_ROW) {
        return std::nullopt;
    }
    return sqlite3_column_int64(stmt.get(), 0);
}

std::string orNull(const Columns& columns, const char* alias, const char* column) {
    return columns.has(column) ? std::string(alias) + "." + column : "NULL";
}

// One attachment of a note, as the store lists it.
struct Attachment {
    std::string identifier;
    std::string name;
};

// Every note's attachments, by the note's Z_PK, in the order of their rows.
std::map<std::int64_t, std::vector<Attachment>> readAttachments(sqlite3* db, const Columns& columns) {
    std::map<std::int64_t, std::vector<Attachment>> byNote;
    if (!columns.has("ZNOTE") || !columns.has("ZTYPEUTI")) {
        return byNote;
    }
    const auto entity = entityNumber(db, "ICAttachment");
    const bool media = columns.has("ZMEDIA") && columns.has("ZFILENAME");
    const std::string sql = "SELECT a.ZNOTE, " + std::string(media ? "m.ZFILENAME" : "NULL") + ", " +
                            orNull(columns, "a", "ZTITLE") + ", a.ZTYPEUTI, " + orNull(columns, "a", "ZIDENTIFIER") +
                            " FROM ZICCLOUDSYNCINGOBJECT AS a" +
                            (media ? " LEFT JOIN ZICCLOUDSYNCINGOBJECT AS m ON m.Z_PK = a.ZMEDIA" : "") +
                            " WHERE a.ZNOTE IS NOT NULL AND " +
                            (entity ? "a.Z_ENT = " + std::to_string(*entity) : std::string("a.ZTYPEUTI IS NOT NULL")) +
                            " ORDER BY a.ZNOTE, a.Z_PK";
    const Statement stmt = prepareStatement(db, sql);
    if (!stmt) {
        systemLog(std::string("Note store attachments cannot be read: ") + sqlite3_errmsg(db));
        return byNote;
    }
    while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
        Attachment attachment;
        for (int column : {1, 2, 3}) { // the media's file name, else the title, else the type
            if (const auto name = columnText(stmt.get(), column); name && !name->empty()) {
                attachment.name = *name;
                break;
            }
        }
        attachment.identifier = std::string(columnBytes(stmt.get(), 4));
        if (!attachment.name.empty()) {
            byNote[sqlite3_column_int64(stmt.get(), 0)].push_back(std::move(attachment));
        }
    }
    return byNote;
}

// The names in the order the text holds the attachments, then any the text does not name.
std::vector<std::string> attachmentNames(std::vector<Attachment> attachments, const NoteDocument* document) {
    std::vector<std::string> names;
    if (document) {
        for (const std::string& id : document->attachmentIdentifiers) {
            const auto it = std::find_if(attachments.begin(), attachments.end(),
                                         [&id](const Attachment& a) { return !id.empty() && a.identifier == id; });
            if (it != attachments.end()) {
                names.push_back(std::move(it->name));
                attachments.erase(it);
            }
        }
    }
    for (Attachment& a : attachments) {
        names.push_back(std::move(a.name));
    }
    return names;
}

} // namespace

void scanNoteStore(ScanContext& context, const LocatedFile& store) {
    const SqliteHandle db = context.sqlite.open(store);
    if (!db) {
        return; // logged where it failed
    }
    const Columns objects(db.get(), kObjects);
    const Columns data(db.get(), kNoteData);
    if (objects.empty() || !objects.has("Z_PK") || !objects.has("ZTITLE1") || data.empty() || !data.has("ZDATA") ||
        !(objects.has("ZNOTEDATA") || data.has("ZNOTE"))) {
        SqliteSource::logUnread(db.get(), "Note store", "holds no notes tables", store.path);
        return;
    }
    const char* modification = nullptr;
    for (const char* column : kModificationColumns) {
        if (!modification && objects.has(column)) {
            modification = column;
        }
    }
    const bool folders = objects.has("ZFOLDER") && objects.has("ZTITLE2");
    const bool folderTypes = folders && objects.has("ZFOLDERTYPE");
    const auto noteEntity = entityNumber(db.get(), "ICNote");
    const std::string sql =
        std::string("SELECT n.Z_PK, n.ZTITLE1, ") + (modification ? std::string("n.") + modification : "NULL") + ", " +
        (folders ? "f.ZTITLE2" : "NULL") + ", " + (folderTypes ? "f.ZFOLDERTYPE" : "NULL") + ", d.ZDATA, " +
        orNull(objects, "n", "ZISPASSWORDPROTECTED") + ", " + orNull(objects, "n", "ZMARKEDFORDELETION") +
        " FROM ZICCLOUDSYNCINGOBJECT AS n LEFT JOIN ZICNOTEDATA AS d ON " +
        (objects.has("ZNOTEDATA") ? "d.Z_PK = n.ZNOTEDATA" : "d.ZNOTE = n.Z_PK") +
        (folders ? " LEFT JOIN ZICCLOUDSYNCINGOBJECT AS f ON f.Z_PK = n.ZFOLDER" : "") + " WHERE " +
        (noteEntity ? "n.Z_ENT = " + std::to_string(*noteEntity) : std::string("d.Z_PK IS NOT NULL")) +
        " ORDER BY n.Z_PK";
    const Statement stmt = prepareStatement(db.get(), sql);
    if (!stmt) {
        systemLog("Note store cannot be read: " + store.path + ": " + sqlite3_errmsg(db.get()));
        return;
    }
    auto attachments = readAttachments(db.get(), objects);
    int rc;
    int count = 0;
    int locked = 0;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        sqlite3_stmt* row = stmt.get();
        const std::int64_t pk = sqlite3_column_int64(row, 0);
        auto note = std::make_shared<PRNoteNode>();
        if (auto title = columnText(row, 1)) {
            note->setNoteTitle(std::move(title));
        }
        if (const auto seconds = dateSeconds(row, 2)) {
            if (auto text = dateText(*seconds, 1)) {
                note->setNoteDate(std::move(*text));
            }
        }
        const OptText folder = columnText(row, 3);
        note->setNoteFolder(folder);
        std::optional<NoteDocument> document;
        if (sqlite3_column_int64(row, 6) == 1) {
            // Ciphertext: never decoded, never shown.
            note->setBLocked(true);
            note->setNoteContent(std::nullopt);
            ++locked;
        } else if (sqlite3_column_type(row, 5) != SQLITE_NULL) {
            const auto blob = static_cast<const char*>(sqlite3_column_blob(row, 5));
            DecodedNoteData decoded =
                decodeNoteData(std::string_view(blob, static_cast<std::size_t>(sqlite3_column_bytes(row, 5))));
            if (decoded.status == NoteDataStatus::Ok) {
                note->setNoteContent(GetStringFormChar(decoded.document.text));
                document = std::move(decoded.document);
            } else {
                systemLog("Note " + std::to_string(pk) + " of the note store has no readable text (" +
                          noteDataProblem(decoded) + "): " + store.path);
            }
        }
        if (const auto it = attachments.find(pk); it != attachments.end()) {
            note->setNoteAttachments(attachmentNames(std::move(it->second), document ? &*document : nullptr));
        }
        const bool inBin =
            sqlite3_column_int64(row, 7) == 1 || (folderTypes ? sqlite3_column_type(row, 4) != SQLITE_NULL &&
                                                                    sqlite3_column_int64(row, 4) == kTrashFolderType
                                                              : folder == kTrashTitle);
        ++count;
        context.nc.post(inBin ? ScanNotification::kDelNote : ScanNotification::kNote,
                        std::shared_ptr<PRObject>(std::move(note)));
    }
    if (rc != SQLITE_DONE) {
        systemLog("Note store stopped reading at a damaged row: " + store.path + ": " + sqlite3_errmsg(db.get()));
    }
    systemLog("Note store read: " + std::to_string(count) + " notes, " + std::to_string(locked) +
              " locked: " + store.path);
}

} // namespace quarrow
