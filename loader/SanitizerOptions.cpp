// A sanitized loader's own defaults (its environment is cleared): no leak
// check at exit and no symbolizer, both of which would need system calls
// the filter forbids; allocations past the memory limit return null, as
// without the sanitizer, so the loader reports running out of memory.
extern "C" const char* __asan_default_options()
{
    return "detect_leaks=0:symbolize=0:allocator_may_return_null=1:detect_stack_use_after_return=1";
}

extern "C" const char* __ubsan_default_options()
{
    return "symbolize=0:print_stacktrace=1:halt_on_error=1";
}
