#import <AppKit/AppKit.h>

#include <cstdio>
#include <cstdlib>

NSApplication* NSApp = nil;

namespace {

void logCall(NSString* line) {
  const char* path = std::getenv("TARNWICK_STANDIN_APPKIT_LOG");
  if (path == nullptr || *path == '\0') return;
  if (std::FILE* file = std::fopen(path, "a")) {
    std::fprintf(file, "%s\n", [line UTF8String]);
    std::fclose(file);
  }
}

}  // namespace

@implementation NSApplication

+ (NSApplication*)sharedApplication {
  if (NSApp == nil) {
    logCall(@"sharedApplication");
    NSApp = [[NSApplication alloc] init];
  }
  return NSApp;
}

- (BOOL)setActivationPolicy:(NSApplicationActivationPolicy)activationPolicy {
  logCall([NSString stringWithFormat:@"setActivationPolicy: %ld", (long)activationPolicy]);
  return YES;
}

- (id<NSApplicationDelegate>)delegate {
  return delegate_;
}

- (void)setDelegate:(id<NSApplicationDelegate>)delegate {
  logCall([NSString stringWithFormat:@"setDelegate: %@", [(NSObject*)delegate className]]);
  delegate_ = delegate;
}

- (void)finishLaunching {
  logCall(@"applicationDidFinishLaunching:");
  if ([delegate_ respondsToSelector:@selector(applicationDidFinishLaunching:)]) {
    NSNotification* notification = [NSNotification notificationWithName:@"NSApplicationDidFinishLaunchingNotification"
                                                                  object:self];
    [delegate_ applicationDidFinishLaunching:notification];
  }
}

- (void)run {
  logCall(@"run");
  NSRunLoop* loop = [NSRunLoop currentRunLoop];
  [self performSelector:@selector(finishLaunching) withObject:nil afterDelay:0];
  // A far-off timer keeps the loop waiting rather than returning when no
  // other source is attached.
  [NSTimer scheduledTimerWithTimeInterval:1.0e7 target:self selector:@selector(keepAlive:) userInfo:nil repeats:YES];
  for (;;) {
    @autoreleasepool {
      [loop runMode:NSDefaultRunLoopMode beforeDate:[NSDate distantFuture]];
    }
  }
}

- (void)keepAlive:(NSTimer*)timer {
  (void)timer;
}

- (void)activateIgnoringOtherApps:(BOOL)flag {
  logCall([NSString stringWithFormat:@"activateIgnoringOtherApps: %d", flag ? 1 : 0]);
}

@end
