// SPDX-License-Identifier: Apache-2.0
#pragma once

// Umbrella header: every public name of the library.

#include <JsonRpcClient/Export.h>
#include <JsonRpcClient/Version.h>
#include <JsonRpcClient/clients/AlarmData.h>
#include <JsonRpcClient/clients/BaseInfo.h>
#include <JsonRpcClient/clients/DeviceCatalog.h>
#include <JsonRpcClient/clients/GsdDeviceInfo.h>
#include <JsonRpcClient/clients/IsochroneMode.h>
#include <JsonRpcClient/clients/ModuleCatalog.h>
#include <JsonRpcClient/clients/ModuleData.h>
#include <JsonRpcClient/clients/ModuleVirSubSlotAndAPI.h>
#include <JsonRpcClient/clients/ParameterRecord.h>
#include <JsonRpcClient/clients/PortParameter.h>
#include <JsonRpcClient/clients/SupportRTType.h>
#include <JsonRpcClient/rpc/CodePageText.h>
#include <JsonRpcClient/rpc/FailureCodes.h>
#include <JsonRpcClient/rpc/Framing.h>
#include <JsonRpcClient/rpc/JsonRequest.h>
#include <JsonRpcClient/rpc/JsonResponse.h>
#include <JsonRpcClient/rpc/JsonSerialzer.h>
#include <JsonRpcClient/rpc/ResponseError.h>
#include <JsonRpcClient/rpc/JsonRpcClient.h>
#include <JsonRpcClient/hosting/IRpcServerStatusObserver.h>
#include <JsonRpcClient/hosting/JobInstance.h>
#include <JsonRpcClient/hosting/JobInstanceMgr.h>
#include <JsonRpcClient/hosting/KnownServers.h>
#include <JsonRpcClient/hosting/RpcLocalConnection.h>
#include <JsonRpcClient/hosting/RpcLocalSrvConfig.h>
#include <JsonRpcClient/clients/PNconfigGSDParser.h>
#include <JsonRpcClient/clients/PnConfigClient.h>
#include <JsonRpcClient/clients/PnGsdClient.h>
#include <JsonRpcClient/clients/ServoParaReadClient.h>
#include <JsonRpcClient/pnconfig/PnConfiguration.h>
#include <JsonRpcClient/pnconfig/PnControllerConf.h>
#include <JsonRpcClient/pnconfig/PnDeviceConf.h>
#include <JsonRpcClient/pnconfig/PnDeviceModule.h>
#include <JsonRpcClient/pnconfig/PnDevicePort.h>
#include <JsonRpcClient/pnconfig/PnListOfNodes.h>
#include <JsonRpcClient/pnconfig/PnObjectBase.h>
#include <JsonRpcClient/pnconfig/PnTopology.h>
