// The Apple Event Manager (AEDataModel.h, AppleEvents.h) from Apple's docs; not nullability-audited.
#pragma once
#include <CoreFoundation/CoreFoundation.h>
typedef FourCharCode DescType; typedef FourCharCode AEEventClass; typedef FourCharCode AEEventID;
typedef struct OpaqueAEDataStorageType* AEDataStorage;
typedef struct AEDesc { DescType descriptorType; AEDataStorage dataHandle; } AEDesc;
typedef AEDesc AEAddressDesc;
enum { typeWildCard = 0x2A2A2A2A /* '****' */, errAEEventNotPermitted = -1743, procNotFound = -600 };
extern "C" OSStatus AEDeterminePermissionToAutomateTarget(const AEAddressDesc* target, AEEventClass theAEEventClass, AEEventID theAEEventID, Boolean askUserIfNeeded);
