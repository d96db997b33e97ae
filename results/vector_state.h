// Keeps scalar floating-point loops fast after Qt's image routines.
#pragma once

// Qt's image routines (QImage::fill, copies) can leave the upper halves of the
// vector registers in use. On some processors every legacy SSE instruction,
// including those of the maths library, then pays for it: a loop of
// exponentials ran ten to eighty times slower after a QImage::fill. Hot loops
// call this first; it clears that state where the processor has AVX and does
// nothing elsewhere. No value or result changes.
void clearUpperVectorState();
