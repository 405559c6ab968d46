// Objective-C++ helpers shared by the native sources.
#pragma once

// Reference counting that reads the same under ARC (the platform build) and
// under manual retain/release (the GNUstep build, whose runtime has no ARC).
#if __has_feature(objc_arc)
#define TARNWICK_AUTORELEASE(object) (object)
#define TARNWICK_RELEASE(object) ((void)0)
#else
#define TARNWICK_AUTORELEASE(object) [(object) autorelease]
#define TARNWICK_RELEASE(object) [(object) release]
#endif

// Some calls the bridge relies on are marked deprecated in newer SDKs while
// remaining supported; their warnings are silenced only around those calls.
#define TARNWICK_ALLOW_DEPRECATED_BEGIN \
  _Pragma("clang diagnostic push") _Pragma("clang diagnostic ignored \"-Wdeprecated-declarations\"")
#define TARNWICK_ALLOW_DEPRECATED_END _Pragma("clang diagnostic pop")
