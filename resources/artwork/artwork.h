// The program's bitmaps, drawn at build time and compiled in as ":/bitmaps/<id>.png".
// Both libraries are static: a program registers a set by calling its function once.
#pragma once

// Every bitmap of the program's screens (platform/ui's loadBitmap calls this).
void quorinInitArtwork();
// The Today item's bitmaps (101, its icon).
void quorinInitTodayArtwork();
