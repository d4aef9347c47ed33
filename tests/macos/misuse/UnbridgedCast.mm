// expect: requires a bridged cast
#import <ApplicationServices/ApplicationServices.h>
#import <Foundation/Foundation.h>
bool ask(NSDictionary* options) { return AXIsProcessTrustedWithOptions((CFDictionaryRef)options); }
