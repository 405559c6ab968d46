// Declarations the platform's application framework has and GNUstep's lacks,
// forced into the syntax check of the native application object against
// GNUstep's AppKit headers. Nothing here is ever linked.
#pragma once

#import <AppKit/AppKit.h>

@interface NSApplication (TarnwickPlatformDeclarations)
- (BOOL)setActivationPolicy:(NSApplicationActivationPolicy)activationPolicy;
@end
