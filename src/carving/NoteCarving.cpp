#include "NoteCarving.h"

#include "platform/Log.h"
#include "records/NoteDocument.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace quarrow::carving {

namespace {

// The columns a layout is read from; -1 where a layout has no such column.
struct Layout {
    const char* noteTable;
    const char* bodyTable;
    const char* noteEntityName; // in Z_PRIMARYKEY
    const char* bodyEntityName;
    const char* noteEntity; // columns of the note table
    const char* noteSaves;
    const char* noteBody;
    const char* title;
    const char* date;
    const char* bodyEntity; // columns of the body table
    const char* bodySaves;
    const char* bodyOwner;
    const char* content;
    const char* olderDate = nullptr; // the date's column in older versions of the layout
    bool documents = false;          // content is a note document blob (gzip around a protocol buffer)
};

constexpr Layout kCoreData{"ZNOTE",  "ZNOTEBODY",         "Note",  "NoteBody", "Z_ENT",  "Z_OPT",   "ZBODY",
                           "ZTITLE", "ZMODIFICATIONDATE", "Z_ENT", "Z_OPT",    "ZOWNER", "ZCONTENT"};
// The note store of iOS 9 and later: a note is a ZICCLOUDSYNCINGOBJECT row of the ICNote entity,
// ZNOTEDATA naming its ZICNOTEDATA row, whose ZNOTE names the note back and whose ZDATA is the
// document. Folders, attachments and the rest share the table under other entity numbers.
constexpr Layout kNoteStore{"ZICCLOUDSYNCINGOBJECT",
                            "ZICNOTEDATA",
                            "ICNote",
                            "ICNoteData",
                            "Z_ENT",
                            "Z_OPT",
                            "ZNOTEDATA",
                            "ZTITLE1",
                            "ZMODIFICATIONDATE1",
                            "Z_ENT",
                            "Z_OPT",
                            "ZNOTE",
                            "ZDATA",
                            "ZMODIFICATIONDATE",
                            true};
constexpr Layout kOlder{"Note",  "note_bodies",       nullptr, nullptr, nullptr,   nullptr, nullptr,
                        "title", "modification_date", nullptr, nullptr, "note_id", "data"};

struct Columns {
    int noteEntity = -1, noteSaves = -1, noteBody = -1, title = -1, date = -1;
    int bodyEntity = -1, bodySaves = -1, bodyOwner = -1, content = -1;
};

int column(const TableShape& t, const char* name) {
    return name ? t.columnIndex(name) : -1;
}

std::optional<std::int64_t> integer(const std::vector<Value>& v, int c) {
    if (c < 0 || v[static_cast<std::size_t>(c)].type != Value::Type::Integer) {
        return std::nullopt;
    }
    return v[static_cast<std::size_t>(c)].integer;
}

// Note text is HTML or plain text: control characters other than tab and line ends mean the
// bytes are not a note's, whatever their record header says.
bool plausibleText(const std::string& text) {
    // Eight bytes at a time: whether any is below 0x20; only then byte by byte.
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, sizeof word);
        if (((word - 0x2020202020202020ull) & ~word & 0x8080808080808080ull) == 0) {
            continue;
        }
        for (std::size_t j = i; j < i + 8; ++j) {
            const auto u = static_cast<unsigned char>(text[j]);
            if (u < 0x20 && u != '\t' && u != '\n' && u != '\r') {
                return false;
            }
        }
    }
    for (; i < text.size(); ++i) {
        const auto u = static_cast<unsigned char>(text[i]);
        if (u < 0x20 && u != '\t' && u != '\n' && u != '\r') {
            return false;
        }
    }
    return true;
}

// Whether a note's text begins with the title as its own first line, as the Notes app makes it.
bool firstLineIs(const std::string& body, const std::string& title) {
    if (title.empty() || body.compare(0, title.size(), title) != 0) {
        return false;
    }
    const std::string_view rest = std::string_view(body).substr(title.size());
    return rest.empty() || rest.starts_with("<div") || rest.starts_with("<br") || rest.starts_with('\n') ||
           rest.starts_with('\r');
}

bool textOrNull(const std::vector<Value>& v, int c) {
    if (c < 0) {
        return true;
    }
    const Value& x = v[static_cast<std::size_t>(c)];
    return x.type == Value::Type::Null || (x.type == Value::Type::Text && plausibleText(x.bytes));
}

// The entity number Core Data gives an entity: from Z_PRIMARYKEY, else from a live row.
std::optional<std::int64_t> entityNumber(const DatabaseFile& db, const char* entity, const TableShape& table,
                                         int entityColumn) {
    std::optional<std::int64_t> found;
    if (const TableShape* keys = db.table("Z_PRIMARYKEY"); keys && entity) {
        const int ent = keys->columnIndex("Z_ENT");
        const int name = keys->columnIndex("Z_NAME");
        if (ent >= 0 && name >= 0) {
            db.forEachLiveRow(*keys, [&](std::int64_t, std::vector<Value>& v) {
                if (v[static_cast<std::size_t>(name)].bytes == entity) {
                    found = integer(v, ent);
                }
                return !found;
            });
        }
    }
    if (!found && entityColumn >= 0) {
        db.forEachLiveRow(table, [&](std::int64_t, std::vector<Value>& v) {
            found = integer(v, entityColumn);
            return false;
        });
    }
    return found;
}

struct NoteRow {
    std::size_t order;
    const CarvedRow* row;
};

void carveLayout(const DatabaseFile& db, const Layout& layout, NoteCarving& out) {
    const TableShape* notes = db.table(layout.noteTable);
    const TableShape* bodies = db.table(layout.bodyTable);
    if (!notes || !bodies) {
        return;
    }
    Columns c;
    c.noteEntity = column(*notes, layout.noteEntity);
    c.noteSaves = column(*notes, layout.noteSaves);
    c.noteBody = column(*notes, layout.noteBody);
    c.title = column(*notes, layout.title);
    c.date = column(*notes, layout.date);
    if (c.date < 0) {
        c.date = column(*notes, layout.olderDate);
    }
    c.bodyEntity = column(*bodies, layout.bodyEntity);
    c.bodySaves = column(*bodies, layout.bodySaves);
    c.bodyOwner = column(*bodies, layout.bodyOwner);
    c.content = column(*bodies, layout.content);
    if (c.title < 0 || c.content < 0 || c.bodyOwner < 0) {
        systemLog("Notes database " + db.where() + ": the " + layout.noteTable + " tables lack the columns of notes");
        return;
    }
    const auto noteEntity =
        c.noteEntity >= 0 ? entityNumber(db, layout.noteEntityName, *notes, c.noteEntity) : std::nullopt;
    const auto bodyEntity =
        c.bodyEntity >= 0 ? entityNumber(db, layout.bodyEntityName, *bodies, c.bodyEntity) : std::nullopt;

    std::vector<TableRequest> requests(2);
    requests[0].table = notes->name;
    requests[0].accept = [c, noteEntity](const std::vector<Value>& v) {
        return (!noteEntity || integer(v, c.noteEntity) == noteEntity) && textOrNull(v, c.title);
    };
    requests[1].table = bodies->name;
    const bool documents = layout.documents;
    requests[1].accept = [c, bodyEntity, documents](const std::vector<Value>& v) {
        const Value& content = v[static_cast<std::size_t>(c.content)];
        if (bodyEntity && integer(v, c.bodyEntity) != bodyEntity) {
            return false;
        }
        if (documents) {
            // Only a document that unzips with its checksum intact and parses is a note's text: a
            // locked note's ciphertext, or a blob that other bytes overwrote, is not.
            return content.type == Value::Type::Null ||
                   (content.type == Value::Type::Blob && decodeNoteData(content.bytes).status == NoteDataStatus::Ok);
        }
        return (content.type == Value::Type::Text || content.type == Value::Type::Null) && textOrNull(v, c.content);
    };
    CarveResult carved = carveDeletedRows(db, requests);

    std::vector<std::size_t> noteRows, bodyRows;
    for (std::size_t i = 0; i < carved.rows.size(); ++i) {
        const CarvedRow& r = carved.rows[i];
        if (r.request == 0) {
            if (!r.cut) {
                noteRows.push_back(i);
            }
        } else if (r.cut) {
            ++out.cutBodies;
        } else if (Value& content = carved.rows[i].values[static_cast<std::size_t>(c.content)];
                   documents && content.type == Value::Type::Blob) {
            // The document's plain text takes the blob's place, so the pairing below reads it.
            DecodedNoteData decoded = decodeNoteData(content.bytes);
            content.type = Value::Type::Text;
            content.bytes = std::move(decoded.document.text);
            bodyRows.push_back(i);
        } else if (content.type == Value::Type::Text) {
            bodyRows.push_back(i);
        }
    }
    const auto value = [](const CarvedRow& r, int col) -> const Value& {
        return r.values[static_cast<std::size_t>(col)];
    };
    // Whether note row n and body row b are the same note, and how sure: 2 for the same save
    // count, 1 for the title found in the body; 0 for no pairing.
    const auto score = [&](const CarvedRow& n, const CarvedRow& b) {
        const auto ref = integer(n.values, c.noteBody);
        const auto owner = integer(b.values, c.bodyOwner);
        const bool linked = (n.rowid && owner && *n.rowid == *owner) || (ref && b.rowid && *ref == *b.rowid) ||
                            (!n.rowid && !b.rowid && ref && owner && *ref == *owner);
        if (!linked) {
            return 0;
        }
        int s = 0;
        const auto saves = integer(n.values, c.noteSaves);
        if (saves && saves == integer(b.values, c.bodySaves)) {
            s += 2;
        }
        const Value& title = value(n, c.title);
        if (title.type == Value::Type::Text && !title.bytes.empty() &&
            value(b, c.content).bytes.find(title.bytes) != std::string::npos) {
            s += 1;
        }
        return s;
    };
    struct Pair {
        int score;
        std::size_t note, body;
    };
    // The bodies a note row may pair with, found through their keys.
    std::unordered_multimap<std::int64_t, std::size_t> byOwner, byKey;
    for (const std::size_t b : bodyRows) {
        if (const auto owner = integer(carved.rows[b].values, c.bodyOwner)) {
            byOwner.emplace(*owner, b);
        }
        if (carved.rows[b].rowid) {
            byKey.emplace(*carved.rows[b].rowid, b);
        }
    }
    std::vector<Pair> pairs;
    std::vector<std::size_t> near;
    for (const std::size_t n : noteRows) {
        near.clear();
        const auto add = [&near](auto range) {
            for (auto it = range.first; it != range.second; ++it) {
                near.push_back(it->second);
            }
        };
        const CarvedRow& row = carved.rows[n];
        const auto ref = integer(row.values, c.noteBody);
        add(byOwner.equal_range(row.rowid ? *row.rowid : ref.value_or(INT64_MIN)));
        if (ref) {
            add(byKey.equal_range(*ref));
        }
        std::sort(near.begin(), near.end());
        near.erase(std::unique(near.begin(), near.end()), near.end());
        for (const std::size_t b : near) {
            if (const int s = score(row, carved.rows[b]); s > 0) {
                pairs.push_back({s, n, b});
            }
        }
    }
    // A note row that lost its rowid in a layout whose note rows name no body (the oldest) is
    // linked by its title, the first line of its text, when exactly one body and one such row
    // agree on it.
    if (c.noteBody < 0) {
        std::unordered_map<std::string, std::vector<std::size_t>> rowsByTitle, bodiesByTitle;
        for (const std::size_t n : noteRows) {
            const Value& title = value(carved.rows[n], c.title);
            if (!carved.rows[n].rowid && title.type == Value::Type::Text && !title.bytes.empty()) {
                rowsByTitle[title.bytes].push_back(n);
            }
        }
        for (const std::size_t b : bodyRows) {
            const std::string& body = value(carved.rows[b], c.content).bytes;
            for (const auto& [title, rows] : rowsByTitle) {
                if (firstLineIs(body, title)) {
                    bodiesByTitle[title].push_back(b);
                }
            }
        }
        for (const auto& [title, bodies] : bodiesByTitle) {
            if (bodies.size() == 1 && rowsByTitle[title].size() == 1) {
                pairs.push_back({1, rowsByTitle[title].front(), bodies.front()});
            }
        }
    }
    std::stable_sort(pairs.begin(), pairs.end(), [](const Pair& a, const Pair& b) { return a.score > b.score; });
    std::vector<std::size_t> partner(carved.rows.size(), SIZE_MAX);
    for (const Pair& p : pairs) {
        if (partner[p.note] == SIZE_MAX && partner[p.body] == SIZE_MAX) {
            partner[p.note] = p.body;
            partner[p.body] = p.note;
        }
    }
    // One note per body, in the order the first of its rows was found.
    std::vector<std::pair<std::size_t, std::size_t>> order; // (first row, body row)
    order.reserve(bodyRows.size());
    for (const std::size_t b : bodyRows) {
        order.emplace_back(std::min(b, partner[b]), b);
    }
    std::sort(order.begin(), order.end());
    for (const auto& [first, b] : order) {
        CarvedRow& body = carved.rows[b];
        CarvedNote note;
        note.content = std::move(body.values[static_cast<std::size_t>(c.content)].bytes);
        note.from = body.from;
        if (const auto owner = integer(body.values, c.bodyOwner)) {
            note.uid = *owner;
        } else if (body.rowid) {
            note.uid = *body.rowid;
        }
        if (partner[b] != SIZE_MAX) {
            const CarvedRow& n = carved.rows[partner[b]];
            if (const Value& title = value(n, c.title); title.type == Value::Type::Text) {
                note.title = title.bytes;
            }
            if (c.date >= 0) {
                const Value& date = value(n, c.date);
                if (date.type == Value::Type::Real) {
                    note.modified = date.real;
                } else if (date.type == Value::Type::Integer) {
                    note.modified = static_cast<double>(date.integer);
                }
            }
            // The note row's own key is the note's identity. When the freeblock header took the
            // rowid, the body's owner (set above) already names it; the row's reference to its
            // body names the body, never the note.
            if (n.rowid) {
                note.uid = *n.rowid;
            }
        } else if (const auto owner = integer(body.values, c.bodyOwner)) {
            // An older text of a note that still lives, whose own note row is gone: when it begins
            // with the living note's title, that title was its first line, and so its title too.
            if (const auto live = db.liveRow(*notes, *owner)) {
                const Value& title = (*live)[static_cast<std::size_t>(c.title)];
                if (title.type == Value::Type::Text && firstLineIs(note.content, title.bytes)) {
                    note.title = title.bytes;
                }
            }
        }
        out.notes.push_back(std::move(note));
    }
    for (const std::size_t n : noteRows) {
        out.titlesOnly += partner[n] == SIZE_MAX ? 1 : 0;
    }
}

} // namespace

NoteCarving carveDeletedNotes(const DatabaseFile& database) {
    NoteCarving out;
    carveLayout(database, kOlder, out);
    carveLayout(database, kCoreData, out);
    carveLayout(database, kNoteStore, out);
    return out;
}

} // namespace quarrow::carving
