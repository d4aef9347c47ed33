// libdispatch (Dispatch, sys/qos.h) from Apple's docs: queues are Objective-C objects under ARC.
#pragma once
#include <objc/NSObject.h>
#include <stddef.h>
#define DISPATCH_RETURNS_RETAINED __attribute__((ns_returns_retained))
#define DISPATCH_QUEUE_SERIAL NULL
#define DISPATCH_TIME_NOW (0ull)
#include <sys/qos.h>
typedef qos_class_t dispatch_qos_class_t; typedef uint64_t dispatch_time_t;
typedef void (^dispatch_block_t)(void); typedef void (*dispatch_function_t)(void* _Nullable);
@protocol OS_dispatch_object <NSObject> @end
@protocol OS_dispatch_queue <OS_dispatch_object> @end
@protocol OS_dispatch_queue_global <OS_dispatch_queue> @end
@protocol OS_dispatch_queue_main <OS_dispatch_queue> @end
@protocol OS_dispatch_queue_attr <OS_dispatch_object> @end
typedef NSObject<OS_dispatch_queue>* dispatch_queue_t; typedef NSObject<OS_dispatch_queue_attr>* dispatch_queue_attr_t;
typedef NSObject<OS_dispatch_queue_global>* dispatch_queue_global_t; typedef NSObject<OS_dispatch_queue_main>* dispatch_queue_main_t;
extern "C" {
NS_ASSUME_NONNULL_BEGIN
DISPATCH_RETURNS_RETAINED dispatch_queue_t dispatch_queue_create(const char* _Nullable label, dispatch_queue_attr_t _Nullable attr);
dispatch_queue_attr_t dispatch_queue_attr_make_with_qos_class(dispatch_queue_attr_t _Nullable attr, dispatch_qos_class_t qos_class, int relative_priority);
dispatch_queue_global_t dispatch_get_global_queue(intptr_t identifier, uintptr_t flags);
dispatch_queue_main_t dispatch_get_main_queue(void);
void dispatch_async(dispatch_queue_t queue, dispatch_block_t block);
void dispatch_sync(dispatch_queue_t queue, __attribute__((noescape)) dispatch_block_t block);
void dispatch_after(dispatch_time_t when, dispatch_queue_t queue, dispatch_block_t block);
dispatch_time_t dispatch_time(dispatch_time_t when, int64_t delta);
void dispatch_queue_set_specific(dispatch_queue_t queue, const void* key, void* _Nullable context, dispatch_function_t _Nullable destructor);
void* _Nullable dispatch_get_specific(const void* key);
NS_ASSUME_NONNULL_END
}
