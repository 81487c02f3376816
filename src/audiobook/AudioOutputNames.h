#pragma once

#include "PRBookNode.h"

#include <string>

namespace quarrow {

// Where and under which names the converter writes its audio files. Every name here is a stem:
// the file is "<stem>.aiff", or "<stem> (2).aiff" and so on when that is taken (never replaced).

// "<Documents>/AudioBook", the converter's output folder.
std::string audioBookFolder(const std::string& documentsFolder);

// A name without its last extension ("Title.epub" gives "Title"; ".hidden" stays).
std::string nameWithoutExtension(const std::string& name);
// The book file's name: the record's name, else the last component of its path.
std::string bookFileName(const PRBookNode& book);
// A name made safe as one file name: no "/" or NUL, not "." or "..", not empty ("Book").
std::string safeFileStem(const std::string& name);

// A PDF per page: "<name>_<index>" with the page index counted from 0.
std::string pdfPageStem(const std::string& bookName, int pageIndex);
// An ePub per chapter: "<father> -01" to "<father> -09", then "<father> -10" on, counted from 1,
// with the whole name of the book the chapter belongs to ("Title.epub -01").
std::string epubChapterStem(const std::string& fatherBookName, int chapterNumber);
// An ePub's own folder under the output folder: the book's name without its extension.
std::string epubFolderName(const std::string& fatherBookName);

} // namespace quarrow
