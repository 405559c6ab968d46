// Stand-in for the platform's application framework, for running the native
// application object where that framework is missing. Only NSApplication as
// far as the bridge uses it, with the framework's names and raw values. Its
// event loop is the main thread's NSRunLoop. When the environment names a
// file in TARNWICK_STANDIN_APPKIT_LOG, each call is appended there as one
// line, so tests can check what was asked and in which order.
#pragma once

#import <Foundation/Foundation.h>

#pragma clang assume_nonnull begin

typedef NS_ENUM(NSInteger, NSApplicationActivationPolicy) {
  NSApplicationActivationPolicyRegular = 0,
  NSApplicationActivationPolicyAccessory = 1,
  NSApplicationActivationPolicyProhibited = 2,
};

@protocol NSApplicationDelegate <NSObject>
@optional
- (void)applicationDidFinishLaunching:(NSNotification*)notification;
@end

@interface NSApplication : NSObject {
 @private
  id<NSApplicationDelegate> _Nullable delegate_;
}
+ (NSApplication*)sharedApplication;
- (BOOL)setActivationPolicy:(NSApplicationActivationPolicy)activationPolicy;
- (nullable id<NSApplicationDelegate>)delegate;
// Not retained, as on the platform.
- (void)setDelegate:(nullable id<NSApplicationDelegate>)delegate;
// Tells the delegate that launching has finished, then serves the main run
// loop; does not return.
- (void)run;
- (void)activateIgnoringOtherApps:(BOOL)flag;
@end

// The shared application once sharedApplication has made it.
extern NSApplication* _Nullable NSApp;

#pragma clang assume_nonnull end
