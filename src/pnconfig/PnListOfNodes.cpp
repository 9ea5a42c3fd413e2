// SPDX-License-Identifier: Apache-2.0
#include <JsonRpcClient/pnconfig/PnListOfNodes.h>

#include "pnconfig/PnJsonWriting.h"

PnControllerInterfaceNode::PnControllerInterfaceNode() = default;
PN_DEFAULT_COPY_AND_DESTROY(PnControllerInterfaceNode);

Json::Value PnControllerInterfaceNode::ToJson() const {
    Json::Value out;
    out[PnJson::Key("InterfaceId")] = InterfaceId;
    out[PnJson::Key("InterfaceType")] = InterfaceType;
    out[PnJson::Key("InterfaceName")] = InterfaceName;
    return out;
}

PnControllerNode::PnControllerNode() = default;
PN_DEFAULT_COPY_AND_DESTROY(PnControllerNode);

Json::Value PnControllerNode::ToJson() const {
    Json::Value out;
    out[PnJson::Key("DeviceId")] = DeviceId;
    out[PnJson::Key("DeviceVersion")] = DeviceVersion;
    out[PnJson::Key("DeviceName")] = DeviceName;
    // The controller's interface node goes under its type's name, a device's
    // under "InterfaceNode"; the server reads both spellings.
    out[PnJson::Key("PnControllerInterfaceNode")] = ControllerInterfaceNode.ToJson();
    return out;
}

PnDeviceInterfaceNode::PnDeviceInterfaceNode() = default;
PnDeviceInterfaceNode::PnDeviceInterfaceNode(const std::string& interfaceId)
    : InterfaceId(interfaceId), InterfaceName(interfaceId) {}
PN_DEFAULT_COPY_AND_DESTROY(PnDeviceInterfaceNode);

Json::Value PnDeviceInterfaceNode::ToJson() const {
    Json::Value out;
    out[PnJson::Key("InterfaceId")] = PnJson::Utf8Text(InterfaceId);
    out[PnJson::Key("InterfaceName")] = PnJson::Utf8Text(InterfaceName);
    return out;
}

PnDeviceNode::PnDeviceNode() = default;
PnDeviceNode::PnDeviceNode(const std::string& deviceName, const std::string& gsdPath,
                           const std::string& gsdRefId)
    : GsdPath(gsdPath),
      GsdRefId(gsdRefId),
      DeviceName(deviceName),
      InterfaceNode(deviceName + "_interface") {}
PN_DEFAULT_COPY_AND_DESTROY(PnDeviceNode);

Json::Value PnDeviceNode::ToJson() const {
    Json::Value out;
    out[PnJson::Key("DeviceId")] = PnJson::Utf8Text(DeviceId);
    out[PnJson::Key("GsdPath")] = GsdPath;
    out[PnJson::Key("GsdRefId")] = GsdRefId;
    out[PnJson::Key("DeviceName")] = PnJson::Utf8Text(DeviceName);
    out[PnJson::Key("InterfaceNode")] = InterfaceNode.ToJson();
    return out;
}

PnListOfNodes::PnListOfNodes() = default;
PnListOfNodes::PnListOfNodes(const PnControllerNode& controllerNode,
                             const std::vector<PnDeviceNode>& deviceNodeList)
    : ControllerNode(controllerNode), DeviceNodeList(deviceNodeList) {}
PN_DEFAULT_COPY_AND_DESTROY(PnListOfNodes);

Json::Value PnListOfNodes::ToJson() const {
    Json::Value out;
    out[PnJson::Key("ControllerNode")] = ControllerNode.ToJson();
    PnJson::WriteList(out, "DeviceNodeList", DeviceNodeList);
    return out;
}
