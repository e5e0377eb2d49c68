// libFuzzer's command line for a target that changes its working folder in
// LLVMFuzzerInitialize: libFuzzer reads its arguments only after that call.
#pragma once

namespace fuzz {

// The arguments that name files (inputs, corpus folders, artifacts, the
// dictionary) made absolute against the caller's folder; crash inputs go to
// that folder unless an artifact prefix is given.
void KeepCallersPaths(int* argc, char*** argv);

}  // namespace fuzz
