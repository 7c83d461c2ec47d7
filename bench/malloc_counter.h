#pragma once

// Counts every malloc in the process (operator new's, the engine's and SDL's
// included), for benchmarks that show a loop allocates nothing.
long mallocCount();
