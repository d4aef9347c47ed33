// expect: no visible @interface for 'NSWorkspace' declares the selector 'launchApplication:'
#import <AppKit/AppKit.h>
void start() { [NSWorkspace.sharedWorkspace launchApplication:@"Music"]; }
