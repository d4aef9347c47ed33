#include "ThreadName.h"

#import <Foundation/Foundation.h>
#include <pthread.h>
#include <pthread/qos.h>

#include <string>

namespace tonvara::detail {

// NSThread names the current thread's pthread as well, which debuggers and crash reports show.
void setCurrentThreadName(std::string_view name) {
  @autoreleasepool {
    NSThread.currentThread.name = [NSString stringWithUTF8String:std::string(name).c_str()];
  }
}

void setCurrentThreadQualityOfService(QualityOfService qos) {
  qos_class_t qosClass = QOS_CLASS_USER_INITIATED;
  switch (qos) {
    case QualityOfService::userInteractive:
      qosClass = QOS_CLASS_USER_INTERACTIVE;
      break;
    case QualityOfService::userInitiated:
      qosClass = QOS_CLASS_USER_INITIATED;
      break;
    case QualityOfService::utility:
      qosClass = QOS_CLASS_UTILITY;
      break;
    case QualityOfService::background:
      qosClass = QOS_CLASS_BACKGROUND;
      break;
  }
  pthread_set_qos_class_self_np(qosClass, 0);
}

}  // namespace tonvara::detail
