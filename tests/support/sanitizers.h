// Whether this test binary runs under AddressSanitizer, whose shadow memory
// makes address-space limits meaningless, so tests that set them skip.
#pragma once

#ifndef __has_feature
#define __has_feature(feature) 0
#endif

namespace tarnwick::testing {

#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif

}  // namespace tarnwick::testing
