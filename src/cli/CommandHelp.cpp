#include "CommandHelp.h"

#include "platform/TextEscapes.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>

namespace quarrow::cli {

namespace {

constexpr std::string_view kCategories = "Notes Contacts Messages CallHistory Photo&Video";
constexpr std::string_view kEditions = "notes full";

const std::vector<CommandHelp> kCommands = {
    {"backups",
     "[--root DIR] [--json]",
     "list the device backups in the backup root",
     "",
     ArgumentKind::None,
     "Lists every device backup in the backup root with its device name, device type, iOS version, backup "
     "time, serial number and folder. The root is DIR when given, else the folder named by the environment "
     "variable QUARROW_BACKUP_ROOT, else ~/Library/Application Support/MobileSync/Backup.\n\n"
     "On Linux, back a device up with libimobiledevice: idevicebackup2 backup DIR writes one backup folder "
     "into DIR; list DIR with --root. Backups of every iOS version are listed, those of iOS 10 and later "
     "(files in two-digit folders, listed in Manifest.db) as well as older ones. The backup time is the one "
     "the device recorded (Info.plist's \"Last Backup Date\"), so a copied backup keeps its day; a device "
     "type the program does not know is shown by its product type (iPhone15,2). An encrypted backup is "
     "listed and marked; scan and export read it with its password (--password-file).\n\n"
     "A folder is a backup when it holds at least two entries and an Info.plist or a Manifest.plist whose "
     "root is a dictionary. Folders that are not backups, and damaged or hostile property lists, are passed "
     "over with a line on standard error.",
     {{"--root", "DIR", ArgumentKind::Folder, "list the backups in DIR instead of the default root."},
      {"--json", "", ArgumentKind::None,
       "print one JSON object: \"backupRoot\" and \"backups\", a list of objects with the fields strDeviceName, "
       "strDeviceSize, strDeviceBackUpTime, strDeviceSerial, strDeviceType, strIOSVersion, itunesVersion, "
       "backUpFilePath, deviceImage and bEncrypted (true for an encrypted backup). A field the backup does not give is "
       "null. A path that is not UTF-8 is "
       "written as a file URI (file:///...), which every path argument of quarrow-cli accepts back."}},
     "0 when the root was looked at (also when it holds no backup); 2 for bad usage.",
     "quarrow-cli backups --root ~/Backups --json"},
    {"scan",
     "BACKUP_FOLDER [--json | --summary] [--progress] [--all | --edition notes|full] [--password-file FILE]",
     "scan one backup for existing and deleted notes, or with --all for every category",
     "BACKUP_FOLDER",
     ArgumentKind::Folder,
     "Scans one backup folder exactly as the desktop application does: the notes that still exist are read "
     "with SQL, and deleted ones are rebuilt byte by byte from the free space of the notes database. Backups "
     "of iOS 9 and later keep notes in the note store: those notes come with their folder and the names of "
     "their attachments, notes in \"Recently Deleted\" are reported as deleted, and a password-protected "
     "note is listed with its title only, marked [locked]: its text cannot be read without its password. The "
     "backup is never modified: databases are read in place, read-only, or through a private copy that is "
     "removed when the scan ends.\n\n"
     "The text output lists each note with its title, date and readable text; deleted notes are marked "
     "[deleted] and say where in the database's files they were found (see --json). Control characters in "
     "names and texts are shown as escapes such as \\x1b.\n\n"
     "With --all the scan reads every category: the photos and videos (pictures and films of 50,000 bytes "
     "or more that the backup stores, by size, never the device's databases or property lists; in an "
     "encrypted backup opened with its password, those of its camera roll and media domains under the "
     "device's names and sizes, decrypted only when exported; none without it), the contacts of the address book "
     "with their numbers, e-mail addresses, "
     "addresses and home pages, the messages with the name of each sender found through the contacts, the "
     "call history, and the notes. The text output then lists each category under its own heading.\n\n"
     "A folder without a notes database, or with a damaged one, is scanned like any other: log lines on "
     "standard error, exit status 0.\n\n"
     "An encrypted backup (\"Encrypt local backup\", or idevicebackup2 encryption on) is read with its "
     "password, given with --password-file. Unlocking takes a few seconds (\"Unlocking…\" on standard "
     "error); then only the databases the scanners read are decrypted, into the private work folder under "
     "$XDG_CACHE_HOME/quarrow, which is removed when the scan ends or is interrupted. Nothing decrypted is "
     "written next to the backup, and the password is neither logged nor kept. Without a password, or with a "
     "wrong one, the scan stops with one line on standard error and exit status 3. A file that cannot be "
     "decrypted (damaged, or of a protection class the backup holds no key for) is logged and skipped.",
     {{"--json", "", ArgumentKind::None,
       "print one JSON object: \"backup\", \"progress\" (the progress values posted), \"BackUpFilesNum\", "
       "\"deleteeFilesNum\" and \"Notes\", a list of objects with noteTitle, noteContent, noteDate, uid and "
       "bDeleted; notes of the note store add noteFolder, \"bLocked\": true when locked (noteContent is then "
       "null) and noteAttachments, a list of names, when they have any. A deleted note also has recoveredFrom: "
       "\"freeblock\" or \"unallocated\" (free space "
       "between the live rows of a page), \"interior page\" (the free space of an interior page, where a "
       "page that split keeps its old rows), \"free page\" (a page the database no longer uses), \"wal "
       "frame\" (the write-ahead log, older versions of pages included) or \"journal\" (a rollback "
       "journal's page images)."},
      {"--summary", "", ArgumentKind::None, "print the JSON object without the records."},
      {"--progress", "", ArgumentKind::None,
       "show the progress on standard error: a bar when standard error is a terminal, otherwise one "
       "percentage per line."},
      {"--edition", "NAME", ArgumentKind::Edition,
       "which scanners run: notes (the default) reads the notes and rebuilds the deleted ones; full runs every "
       "scanner this build has, in the order of their progress values, and the JSON output then holds one "
       "list per category that was scanned (\"PhotoAndVideo\", \"Contacts\", \"Messages\", \"Notes\", "
       "\"CallHistory\")."},
      {"--all", "", ArgumentKind::None,
       "scan every category, the same as --edition full; the application's preference \"Scan every category\" "
       "does the same."},
      {"--password-file", "FILE", ArgumentKind::File,
       "the password of an encrypted backup: the first line of FILE, or of standard input for -."}},
     "0 when the folder was scanned; 2 for bad usage or a BACKUP_FOLDER that is not a folder; 3 when the "
     "backup is encrypted and no password, or a wrong one, was given.",
     "quarrow-cli scan --progress ~/Backups/0123456789abcdef0123456789abcdef01234567"},
    {"export",
     "BACKUP_FOLDER --to DIR [--deleted-only] [--category NAME ...] [--all | --edition notes|full] "
     "[--password-file FILE]",
     "export the records of one backup into a folder",
     "BACKUP_FOLDER",
     ArgumentKind::Folder,
     "Scans the backup as scan does, ticks the chosen records and exports them exactly as the application's "
     "save button does. DIR receives Photo&Video/, Contact/ (Contacts.txt and one .vcf per contact), "
     "Message/Messages.txt, Note/Notes.txt and CallHistory/Call History.txt.\n\n"
     "Files are written under temporary names and renamed into place, so a file is either complete or "
     "absent. A photo or video of an encrypted backup is decrypted straight into Photo&Video/ under the "
     "device's name, numbered (\"IMG_0001 (2).JPG\") rather than replacing a file; one that cannot be "
     "decrypted is reported and the export goes on. Nothing is written outside DIR: a category folder that is a "
     "symbolic link is reported and "
     "left alone.",
     {{"--to", "DIR", ArgumentKind::Folder,
       "the export folder itself, as the application's save panel names it (for example \"Brindle 2012-03-05 - "
       "14.07.33\"). It is created with its parents when missing; an existing folder is written into again, "
       "and then its earlier text files stay and the new text is left in TXT.txt."},
      {"--deleted-only", "", ArgumentKind::None, "tick only the records the scan found deleted."},
      {"--category", "NAME", ArgumentKind::Category,
       "tick records of this category only: Notes, Contacts, Messages, CallHistory or Photo&Video. Repeat it, "
       "or join names with commas. Without it, every category is ticked. Naming a category that the notes "
       "edition does not scan, without --all or --edition, scans every category."},
      {"--edition", "NAME", ArgumentKind::Edition, "which scanners the scan runs, as for scan: notes or full."},
      {"--all", "", ArgumentKind::None, "scan every category, the same as --edition full."},
      {"--password-file", "FILE", ArgumentKind::File,
       "the password of an encrypted backup, as for scan: the first line of FILE, or of standard input for -."}},
     "0 when everything was written; 1 when something could not be written (each failure is listed on "
     "standard error); 2 for bad usage or a backup that is not a folder; 3 when the backup is encrypted and "
     "no password, or a wrong one, was given.",
     "quarrow-cli export ~/Backups/0123456789abcdef0123456789abcdef01234567 --to ~/Recovered --category Notes"},
    {"book",
     "info FILE [--json] | text FILE [--chapter N | --page N] | list [--json] | import FILE... [--json] | "
     "remove FILE...",
     "read ebooks for the audiobook converter",
     "FILE",
     ArgumentKind::File,
     "Works with the books the audiobook converter reads aloud: PDF, ePub, HTML (.html, .htm), plain text "
     "and RTF files. The book file is only read, never changed. An ePub is unpacked into a private folder "
     "under $XDG_CACHE_HOME/quarrow (~/.cache/quarrow) that is removed when the command ends; entries with "
     "unsafe names are skipped, damaged ones leave their chapter out, and an archive that unpacks to more "
     "than 512 MB is refused.\n\n"
     "info prints what the import makes of the book: its title, author, kind, its pages (PDF) or chapters "
     "(ePub, in reading order, with the titles of its table of contents) and whether it has a cover.\n\n"
     "text prints the text that would be spoken: the whole book, or one chapter or page, counted from 1. "
     "HTML and ePub chapters are turned into plain text; text files are read by their byte-order mark, "
     "else as UTF-8, else as Windows-1252.\n\n"
     "list prints the imported books the desktop application keeps between runs (saved in "
     "$XDG_DATA_HOME/quarrow/imported-books) and the books of the system book library, when a home folder "
     "copied from a Mac holds one. import adds books to that list and remove takes them off it.",
     {{"--json", "", ArgumentKind::None,
       "print JSON: for each book an object with file, bookName, kind, title, author, pages (a PDF's page "
       "count, else null), chapters (an ePub's chapter count, else null), chapterList (number, name, title), "
       "cover (true or false) and warning (a problem the book imported with, else null)."},
      {"--chapter", "N", ArgumentKind::None, "with text: only chapter N of an ePub."},
      {"--page", "N", ArgumentKind::None, "with text: only page N of a PDF."}},
     "0 on success; 1 when a book cannot be read (the reason is on standard error); 2 for bad usage, or "
     "a chapter or page the book does not have.",
     "quarrow-cli book text ~/Books/Tale.epub --chapter 2"},
    {"speak",
     "FILE [--to DIR] [--voice NAME] [--language LABEL] [--rate WPM] [--volume N] [--per-page | --per-chapter | "
     "--whole] [--json] | --voices [--json]",
     "read an ebook aloud into AIFF audio files",
     "FILE",
     ArgumentKind::File,
     "Speaks a PDF, ePub, HTML, plain-text or RTF book into AIFF files (16-bit mono, 22,050 Hz) with the "
     "espeak-ng speech engine, and prints the progress on standard error. The files go into "
     "DIR, by default the AudioBook folder of your Documents folder (xdg-user-dir DOCUMENTS, else "
     "~/Documents); an ePub's files go into a folder named after the book. A PDF gives Name_0.aiff, "
     "Name_1.aiff, ... (one per page, counted from 0), an ePub \"Title.epub -01.aiff\", ... (one per "
     "chapter), other books Name.aiff. Pages and chapters without text are passed over. An existing "
     "file is never replaced: the next free name, \"Name (2).aiff\", is taken. A file is written under a "
     "hidden temporary name and gets its name only when complete; an interrupted or failed file is "
     "removed.\n\n"
     "--voices lists the languages with the engine voice each uses, or why the engine cannot speak it.",
     {{"--to", "DIR", ArgumentKind::Folder, "the folder to write into (made when missing)."},
      {"--voice", "NAME", ArgumentKind::None,
       "a voice of the language (\"System Voice\", \"Daniel\", \"Samantha\", see --voices), or an "
       "espeak-ng voice itself (\"en-gb\", \"de+f2\"). Default: the language's System Voice."},
      {"--language", "LABEL", ArgumentKind::None,
       "the language, as the desktop application names it (\"German (Germany)\"). Default: English "
       "(United States)."},
      {"--rate", "WPM", ArgumentKind::None, "words a minute, 80 to 450 (default 175)."},
      {"--volume", "N", ArgumentKind::None, "0 to 200, 100 being the engine's normal level (the default)."},
      {"--per-page", "", ArgumentKind::None, "a PDF: one file per page (the default)."},
      {"--per-chapter", "", ArgumentKind::None, "an ePub: one file per chapter (the default)."},
      {"--whole", "", ArgumentKind::None, "one file for the whole book."},
      {"--json", "", ArgumentKind::None,
       "print JSON on standard output: book, voice, rate, volume, outcome (done, no-text, unreadable, "
       "unsupported, speech-failed, write-failed, cancelled) and files (path, name, part, title, seconds)."}},
     "0 when the book was spoken; 1 when it gives no audio (no text, unreadable, a language the engine "
     "cannot speak, a folder that cannot be written; the reason is on standard error); 2 for bad usage; "
     "130 when interrupted (the unfinished file is removed).",
     "quarrow-cli speak ~/Books/Tale.epub --to ~/Audio --voice Daniel --language \"English (United Kingdom)\""},
    {"audiobook",
     "FILE --to DIR [--m4b | --mp3] [--voice NAME] [--language LABEL] [--rate WPM] [--volume N] [--per-page | "
     "--per-chapter | --whole] [--json]",
     "turn an ebook into one finished audiobook file",
     "FILE",
     ArgumentKind::File,
     "Speaks a PDF, ePub, HTML, plain-text or RTF book as speak does, then joins its files with ffmpeg into "
     "one audiobook in DIR: an M4B audio book (AAC; the default), or an MP3. Each chapter or page file "
     "becomes a chapter named after it, and the book's title, author and cover go into the file's tags. "
     "The spoken AIFF files stay in a private folder under ~/.cache/quarrow and are removed at the end.\n\n"
     "The new file is written under a hidden name and read back with ffprobe before it is named "
     "\"Title.m4b\" (or \"Title.mp3\"; an existing file is never replaced: \"Title (2).m4b\" is taken): "
     "its length must be within half a second of the spoken audio, an M4B must carry the \"M4B \" brand, "
     "and every chapter must be there. A file that fails the check is removed and the reason printed.",
     {{"--to", "DIR", ArgumentKind::Folder, "the folder to write the audiobook into (made when missing)."},
      {"--m4b", "", ArgumentKind::None, "an M4B audio book with chapters (the default)."},
      {"--mp3", "", ArgumentKind::None, "an MP3 file (with ID3 chapters), for players that take nothing else."},
      {"--voice", "NAME", ArgumentKind::None, "as for speak."},
      {"--language", "LABEL", ArgumentKind::None, "as for speak."},
      {"--rate", "WPM", ArgumentKind::None, "as for speak."},
      {"--volume", "N", ArgumentKind::None, "as for speak."},
      {"--per-page", "", ArgumentKind::None, "a PDF: a chapter per page (the default)."},
      {"--per-chapter", "", ArgumentKind::None, "an ePub: a chapter per chapter of the book (the default)."},
      {"--whole", "", ArgumentKind::None, "one part, no chapters."},
      {"--json", "", ArgumentKind::None,
       "print JSON on standard output: book, format, voice, outcome (done, convert-failed, cancelled, or "
       "speak's outcomes), path, seconds, chapters (their titles) and error."}},
     "0 when the audiobook was written and checked; 1 when it could not be (the reason is on standard "
     "error); 2 for bad usage; 130 when interrupted (nothing unfinished is left).",
     "quarrow-cli audiobook ~/Books/Tale.epub --to ~/Audiobooks --voice Daniel"},
    {"help",
     "[COMMAND]",
     "show the help of quarrow-cli or of one command",
     "COMMAND",
     ArgumentKind::None,
     "Without COMMAND, lists the commands. With it, prints that command's full help, the same text as its "
     "manual page quarrow-cli-COMMAND(1).",
     {},
     "0; 2 for an unknown command.",
     "quarrow-cli help export"},
};

// Breaks text into lines of at most `width` characters after `indent`.
std::string wrapped(std::string_view text, std::size_t indent, std::size_t width = 78) {
    std::string out;
    std::string line;
    const std::string pad(indent, ' ');
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        const std::string_view word = text.substr(at, end - at);
        if (!line.empty() && indent + line.size() + 1 + word.size() > width) {
            out += pad + line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + std::string(word);
        at = end + 1;
    }
    if (!line.empty()) {
        out += pad + line + "\n";
    }
    return out;
}

std::vector<std::string_view> paragraphs(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t end = std::min(text.find("\n\n", at), text.size());
        out.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return out;
}

// Text for roff: backslashes and hyphens escaped, characters beyond ASCII (an ellipsis, quotes) as
// \[uXXXX] (troff reads bytes, not UTF-8), no line starting with a control character.
std::string roff(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (const std::size_t length = static_cast<unsigned char>(c) >= 0x80 ? utf8SequenceLength(text, i) : 0) {
            // The lead byte's payload bits, then six bits from each continuation byte.
            std::uint32_t code = static_cast<unsigned char>(c) & (0x7Fu >> length);
            for (std::size_t k = 1; k < length; ++k) {
                code = code << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
            }
            char escaped[16];
            std::snprintf(escaped, sizeof escaped, "\\[u%04X]", static_cast<unsigned>(code));
            out += escaped;
            i += length - 1;
            continue;
        }
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else {
            out += c;
        }
        if (c == '\n') {
            out += "\\&";
        }
    }
    return (out.empty() || (out[0] != '.' && out[0] != '\'')) ? out : "\\&" + out;
}

std::string manHeader(std::string_view title, std::string_view version) {
    std::string upper(title);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    return ".TH " + roff(upper) + " 1 \"\" \"Quarrow " + roff(version) + "\" \"User Commands\"\n";
}

std::string optionsOf(const std::vector<OptionHelp>& options) {
    std::string words;
    for (const auto& option : options) {
        words += (words.empty() ? "" : " ") + std::string(option.flag);
    }
    return words;
}

std::string completionFor(ArgumentKind kind) {
    switch (kind) {
    case ArgumentKind::Folder:
        return "compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -d -- \"$cur\"))";
    case ArgumentKind::Category:
        return "COMPREPLY=($(compgen -W '" + std::string(kCategories) + "' -- \"$cur\"))";
    case ArgumentKind::Edition:
        return "COMPREPLY=($(compgen -W '" + std::string(kEditions) + "' -- \"$cur\"))";
    case ArgumentKind::File:
        return "compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- \"$cur\"))";
    case ArgumentKind::None:
        break;
    }
    return "COMPREPLY=()";
}

} // namespace

const std::vector<CommandHelp>& commandHelp() {
    return kCommands;
}

const CommandHelp* findCommandHelp(std::string_view name) {
    for (const auto& command : kCommands) {
        if (command.name == name) {
            return &command;
        }
    }
    return nullptr;
}

std::string overviewText() {
    std::string out =
        "Usage: quarrow-cli COMMAND [ARGUMENTS]\n"
        "       quarrow-cli --version\n\n"
        "Recovers notes, and with --all also contacts, messages, call history, photos and videos, from iOS\n"
        "device backups. The backup is never modified.\n\nCommands:\n";
    for (const auto& command : kCommands) {
        out += "  quarrow-cli " + std::string(command.name) + " " + std::string(command.synopsis) + "\n";
        out += wrapped(command.summary, 6);
    }
    return out + "\nRun 'quarrow-cli help COMMAND' for the options of one command.\n";
}

std::string commandText(const CommandHelp& command) {
    std::string out = "Usage: quarrow-cli " + std::string(command.name) + " " + std::string(command.synopsis) + "\n\n" +
                      std::string(command.summary) + "\n";
    for (const auto paragraph : paragraphs(command.description)) {
        out += "\n" + wrapped(paragraph, 0);
    }
    if (!command.options.empty()) {
        out += "\nOptions:\n";
        for (const auto& option : command.options) {
            std::string head = "  " + std::string(option.flag);
            if (!option.argument.empty()) {
                head += " " + std::string(option.argument);
            }
            out += head + "\n" + wrapped(option.text, 6);
        }
    }
    out += "\n" + wrapped("Exit status: " + std::string(command.exitStatus), 0);
    if (!command.example.empty()) {
        out += "\nExample:\n  " + std::string(command.example) + "\n";
    }
    return out;
}

std::string cliManPage(std::string_view version) {
    std::string out = manHeader("quarrow-cli", version);
    out += ".SH NAME\nquarrow\\-cli \\- recover notes from iOS device backups\n";
    out += ".SH SYNOPSIS\n.B quarrow\\-cli\n\\fICOMMAND\\fR [\\fIARGUMENTS\\fR]\n.br\n.B quarrow\\-cli \\-\\-version\n";
    out += ".SH DESCRIPTION\nLists the device backups on this computer, scans one for the notes that still "
           "exist and the deleted ones that can be rebuilt, and exports what it finds. It drives the same core "
           "as the desktop application, quarrow(1). The backup is never modified.\n";
    out += ".SH COMMANDS\n";
    for (const auto& command : kCommands) {
        out += ".TP\n\\fB" + roff(command.name) + "\\fR " + roff(command.synopsis) + "\n" + roff(command.summary) +
               "; see \\fBquarrow\\-cli\\-" + roff(command.name) + "\\fR(1).\n";
    }
    out += ".SH OPTIONS\n.TP\n\\fB\\-\\-help\\fR\nshow the commands.\n.TP\n\\fB\\-\\-version\\fR\nshow the version.\n";
    out += ".SH ENVIRONMENT\n.TP\n.B QUARROW_BACKUP_ROOT\nthe backup root when \\fB\\-\\-root\\fR is not given.\n"
           ".TP\n.B XDG_CACHE_HOME\nprivate working copies live in a folder under $XDG_CACHE_HOME/quarrow "
           "(~/.cache/quarrow) while a scan runs.\n";
    out += ".SH SEE ALSO\n";
    for (const auto& command : kCommands) {
        out += "\\fBquarrow\\-cli\\-" + roff(command.name) + "\\fR(1), ";
    }
    return out + "\\fBquarrow\\fR(1), \\fBidevicebackup2\\fR(1)\n";
}

std::string commandManPage(const CommandHelp& command, std::string_view version) {
    const std::string name = "quarrow-cli-" + std::string(command.name);
    std::string out = manHeader(name, version);
    out += ".SH NAME\n" + roff(name) + " \\- " + roff(command.summary) + "\n";
    out += ".SH SYNOPSIS\n.B quarrow\\-cli " + roff(command.name) + "\n" + roff(command.synopsis) + "\n";
    out += ".SH DESCRIPTION\n";
    bool first = true;
    for (const auto paragraph : paragraphs(command.description)) {
        out += (first ? "" : ".PP\n") + roff(paragraph) + "\n";
        first = false;
    }
    if (!command.options.empty()) {
        out += ".SH OPTIONS\n";
        for (const auto& option : command.options) {
            out += ".TP\n\\fB" + roff(option.flag) + "\\fR";
            if (!option.argument.empty()) {
                out += " \\fI" + roff(option.argument) + "\\fR";
            }
            out += "\n" + roff(option.text) + "\n";
        }
    }
    out += ".SH EXIT STATUS\n" + roff(command.exitStatus) + "\n";
    if (!command.example.empty()) {
        out += ".SH EXAMPLE\n.nf\n" + roff(command.example) + "\n.fi\n";
    }
    return out + ".SH SEE ALSO\n\\fBquarrow\\-cli\\fR(1), \\fBquarrow\\fR(1)\n";
}

std::string applicationManPage(std::string_view version) {
    std::string out = manHeader("quarrow", version);
    out += ".SH NAME\nquarrow \\- recover notes from iOS device backups, on the desktop\n";
    out += ".SH SYNOPSIS\n.B quarrow\n[\\fB\\-\\-root\\fR \\fIDIR\\fR] [\\fB\\-\\-edition\\fR "
           "\\fInotes\\fR|\\fIfull\\fR]\n";
    out += ".SH DESCRIPTION\nThe desktop application lists the device backups in the backup root (or a "
           "folder you choose), scans the one you pick for the notes that still exist and the deleted ones that "
           "can be rebuilt, shows them, and exports the ones you tick into a folder. The backup is never "
           "modified. Its help pages are under /usr/share/quarrow/help; every feature also has a command-line "
           "form, quarrow\\-cli(1).\n.PP\nOn Linux, back a device up with libimobiledevice: \\fBidevicebackup2 "
           "backup\\fR \\fIDIR\\fR.\n.PP\nThe switcher along the top of the window moves between the two jobs, "
           "Recovery and Audiobooks. The Audiobooks job (ebooks read aloud into audio files) is not available "
           "yet; its page says so.\n";
    out += ".SH OPTIONS\n.TP\n\\fB\\-\\-root\\fR \\fIDIR\\fR\nlist the device backups in \\fIDIR\\fR.\n"
           ".TP\n\\fB\\-\\-edition\\fR \\fInotes\\fR|\\fIfull\\fR\nwhich scanners a scan runs: the notes ones (the "
           "default), or every scanner this build has. The preference \\(lqScan every category\\(rq does the same "
           "and is remembered; the option wins for the run it starts.\n";
    out += ".SH ENVIRONMENT\n.TP\n.B QUARROW_BACKUP_ROOT\nthe backup root, unless a folder was chosen in the "
           "application.\n";
    return out + ".SH SEE ALSO\n\\fBquarrow\\-cli\\fR(1), \\fBidevicebackup2\\fR(1)\n";
}

std::string bashCompletion() {
    std::string commands;
    for (const auto& command : kCommands) {
        commands += (commands.empty() ? "" : " ") + std::string(command.name);
    }
    std::string out = "# bash completion for quarrow-cli, made from its command table.\n"
                      "_quarrow_cli() {\n"
                      "    local cur=\"${COMP_WORDS[COMP_CWORD]}\" prev=\"${COMP_WORDS[COMP_CWORD-1]}\"\n"
                      "    if [ \"$COMP_CWORD\" -eq 1 ]; then\n"
                      "        COMPREPLY=($(compgen -W '" +
                      commands +
                      " --help --version' -- \"$cur\"))\n"
                      "        return\n"
                      "    fi\n"
                      "    case \"${COMP_WORDS[1]}\" in\n";
    for (const auto& command : kCommands) {
        out += "    " + std::string(command.name) + ")\n        case \"$prev\" in\n";
        for (const auto& option : command.options) {
            if (!option.argument.empty()) {
                out += "        " + std::string(option.flag) + ") " + completionFor(option.kind) + "; return ;;\n";
            }
        }
        out += "        esac\n";
        const std::string words = command.name == "help" ? commands : optionsOf(command.options) + " --help";
        out += "        if [[ \"$cur\" == -* ]] || [ " +
               std::string(command.operandKind == ArgumentKind::Folder || command.operandKind == ArgumentKind::File
                               ? "0"
                               : "1") +
               " -eq 1 ]; then\n"
               "            COMPREPLY=($(compgen -W '" +
               words +
               "' -- \"$cur\"))\n"
               "        else\n"
               "            " +
               completionFor(command.operandKind) + "\n        fi\n        ;;\n";
    }
    return out + "    esac\n}\ncomplete -F _quarrow_cli quarrow-cli\n";
}

} // namespace quarrow::cli
