#pragma once
// One reader per source format; readSource picks among them.
#include "importing/core/ImportSource.h"

namespace importing::core {

void readFolder(const QString &path, ItemSink &sink);
void readVsCode(const QString &path, ItemSink &sink);
void readMassCode(const QString &path, ItemSink &sink);
void readSnippetsLab(const QString &path, ItemSink &sink);
void readCherryTree(const QString &path, ItemSink &sink);

// Recognisers for detectFormat, from the start of a file's text.
bool looksLikeMassCodeJson(const QString &start);
bool looksLikeSnippetsLabJson(const QString &start);
bool isMassCodeVault(const QString &dir);
bool isMassCodeDatabase(const QString &path);
bool isCherryTreeDatabase(const QString &path);

} // namespace importing::core
