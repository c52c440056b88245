#pragma once
// What a program that runs extractions sets up once, as it starts.

namespace carrowin::extract {

// Lets the program hold open as many files as the system allows it. A run keeps written
// files open until a batch of them is durable and named, and larger batches cost less.
void allowOpenFiles() noexcept;

// Memory freed by a message kept whole (up to 1 MiB) serves the next one, instead of
// going back to the system and coming again as fresh pages, which cost a run of large
// messages more than copying them.
void reuseFreedMemory() noexcept;

} // namespace carrowin::extract
