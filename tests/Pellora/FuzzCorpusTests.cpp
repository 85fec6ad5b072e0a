#include "Fuzz/FuzzCorpus.h"

PELLORA_FUZZ_CORPUS_TESTS(App);
