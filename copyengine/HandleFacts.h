// What an open file handle says about its file, asked through the cheapest
// calls that answer: whether two handles name one file, and whether a file
// changed while it was read.
#pragma once

#include <windows.h>

#include <cstdint>

// The file's index on its volume (the same for every link to the file), or
// false when the file system gives none.
bool QueryFileIndex(HANDLE file, uint64_t* index);

// The file's size and last write time as they are now.
bool QuerySizeAndWriteTime(HANDLE file, uint64_t* size, FILETIME* writeTime);

// True when both handles may name one file: equal volume serial numbers and
// file indexes, or either handle cannot be asked. Asking for the volume is
// slow on some systems, so callers compare indexes first and ask this only
// when they are equal or unknown.
bool CouldBeSameFile(HANDLE first, HANDLE second);
