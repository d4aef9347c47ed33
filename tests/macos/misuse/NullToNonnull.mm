// expect: null passed to a callee that requires a non-null argument
#import <Foundation/Foundation.h>
NSURL* address() { return [NSURL URLWithString:nil]; }
