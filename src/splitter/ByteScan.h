#pragma once
// Scans over a whole novel at a time. Where the processor has SSE2 (every x86-64, so every
// build we ship) they look at 16 bytes a step and run at memory speed; elsewhere they fall
// back on memchr.

namespace folioknife::splitter {

// The first byte in [p, end) that is 'a' or 'b'; 'end' when there is none.
const char* findEitherByte(const char* p, const char* end, unsigned char a, unsigned char b);

// The first position in [p, end) where 'a' is followed by 'b' (both bytes before 'end');
// 'end' when there is none.
const char* findBytePair(const char* p, const char* end, unsigned char a, unsigned char b);

}  // namespace folioknife::splitter
