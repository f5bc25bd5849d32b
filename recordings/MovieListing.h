#pragma once

#include <string>
#include <vector>

namespace quello {

// Full paths of the movies ("*.MOV", the ending compared without regard to case) directly in
// folder, in no particular order; folders and sub-folders are skipped. Empty when the folder
// cannot be read.
std::vector<std::string> ListMovieFiles(const std::string& folder);

// Order of a plain folder: ascending, ASCII letters compared without regard to case
// (ties broken by byte order so the result never depends on the directory's order).
void SortFolderOrder(std::vector<std::string>& paths);

// Order of a camera card folder: ascending by byte value (case-sensitive).
void SortCardOrder(std::vector<std::string>& paths);

// The camera's media folders "<root>DCIM/100MEDIA" ... "<root>DCIM/104MEDIA" that exist, in
// that order. root ends with '/'.
std::vector<std::string> CardMediaFolders(const std::string& root);

// A dropped name is taken when it has at least 8 characters and ends exactly in ".MOV" or
// ".mov" (other spellings such as ".Mov" are not).
bool IsDroppedMovieName(const std::string& path);

} // namespace quello
