#pragma once

namespace lmvo::decoder {

// Confines the decoder process for the rest of its life, before it reads a byte of any
// picture: a ceiling on its address space (the smaller of 2 GB and half the memory available,
// on top of what it has mapped already), no new privileges, and a system-call filter that kills
// it on anything outside what the decoders need: no files opened for writing, no sockets, no
// new processes, no programs started. Where the filter cannot be installed, it goes on with the
// limits, and every answer says so (the program tells the user once: the process's own output
// goes nowhere, so that no decoder's remarks reach a terminal).
//
// Under AddressSanitizer the address space is not limited (its shadow memory alone reserves
// terabytes); the sanitizer's own allocation ceiling stands in for it (see lmvo-decode.cpp).
void enterSandbox();
// Whether enterSandbox installed the system-call filter.
[[nodiscard]] bool filtered();

// Limits the processor time of the next picture, counted from now: beyond the slowest
// legitimate decode, the system stops the process (SIGXCPU).
void limitTimeOfNextPicture();

} // namespace lmvo::decoder
