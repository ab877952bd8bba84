// The text and colouring of one cell of the bookmark list.
#pragma once

namespace zt {

int __cdecl ListCellText(char* text, char* mask, int* attribute, void* item, int column);

}  // namespace zt
