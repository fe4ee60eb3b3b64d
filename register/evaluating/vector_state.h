#pragma once

// A thread starts with the vector registers of the thread that started it. One started, even
// indirectly, by the window's thread, whose drawing code runs 256-bit AVX instructions, starts
// with their upper halves in use; until they are cleared, every SSE instruction of this
// program, which is built for plain x86-64, waits on them. That made the window's evaluation
// twice as slow as the command line's, and each exp() 27 times: so the threads that evaluate
// many rows clear them first.

namespace dovrin {

// Marks the upper halves of this thread's vector registers unused (VZEROUPPER) where the
// processor has them; does nothing elsewhere.
void clearUpperVectorState();

} // namespace dovrin
