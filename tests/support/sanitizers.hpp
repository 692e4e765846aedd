// Whether this program is built with AddressSanitizer, which reserves address space of its own
// and runs large inputs slowly: the tests that limit memory or feed such inputs skip then.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define QUENLO_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUENLO_TEST_SANITIZED 1
#endif
#endif
#ifndef QUENLO_TEST_SANITIZED
#define QUENLO_TEST_SANITIZED 0
#endif
