// Counts the allocations that one thread makes while a Scope lives: every
// operator new, and malloc, calloc and realloc where the program is not
// built with a sanitizer (which owns malloc there).
#pragma once

namespace allocations {

class Scope {
public:
    Scope();
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
};

int counted();
void reset();
bool countsMalloc();

}  // namespace allocations
