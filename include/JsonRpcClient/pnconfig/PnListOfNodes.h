// SPDX-License-Identifier: Apache-2.0
#pragma once

// The list-of-nodes document: the controller node with its interface node and
// one node per IO device. Controller-node texts are written byte for byte; the
// ids and names of device nodes and device interface nodes are held in the
// ANSI code page and written as UTF-8 (ToJson() throws std::runtime_error when
// that conversion fails).

#include <JsonRpcClient/Export.h>
#include <JsonRpcClient/pnconfig/PnObjectBase.h>

#include <json/value.h>

#include <cstdint>
#include <string>
#include <vector>

struct JSONRPCCLIENT_API PnControllerInterfaceNode : public PnObjectBase {
    PnControllerInterfaceNode();
    PnControllerInterfaceNode(const PnControllerInterfaceNode&);
    PnControllerInterfaceNode& operator=(const PnControllerInterfaceNode&);
    ~PnControllerInterfaceNode() override;
    Json::Value ToJson() const override;

    std::string InterfaceId = "PN_Ostrel_1_Interface";
    // Interface type code of the configuration server.
    std::int32_t InterfaceType = 1;
    std::string InterfaceName = "PN_Ostrel_1_Interface";
};

struct JSONRPCCLIENT_API PnControllerNode : public PnObjectBase {
    PnControllerNode();
    PnControllerNode(const PnControllerNode&);
    PnControllerNode& operator=(const PnControllerNode&);
    ~PnControllerNode() override;
    Json::Value ToJson() const override;

    std::string DeviceId = "PN_Ostrel_1";
    std::string DeviceVersion = "v3.1";
    std::string DeviceName = "PROFINET Ostrel";
    PnControllerInterfaceNode ControllerInterfaceNode;
};

struct JSONRPCCLIENT_API PnDeviceInterfaceNode : public PnObjectBase {
    PnDeviceInterfaceNode();
    // Uses interfaceId as both id and name.
    PnDeviceInterfaceNode(const std::string& interfaceId);
    PnDeviceInterfaceNode(const PnDeviceInterfaceNode&);
    PnDeviceInterfaceNode& operator=(const PnDeviceInterfaceNode&);
    ~PnDeviceInterfaceNode() override;
    Json::Value ToJson() const override;

    std::string InterfaceId;
    std::string InterfaceName;
};

struct JSONRPCCLIENT_API PnDeviceNode : public PnObjectBase {
    PnDeviceNode();
    // DeviceId stays empty; the interface node's id and name become
    // deviceName + "_interface".
    PnDeviceNode(const std::string& deviceName, const std::string& gsdPath,
                 const std::string& gsdRefId);
    PnDeviceNode(const PnDeviceNode&);
    PnDeviceNode& operator=(const PnDeviceNode&);
    ~PnDeviceNode() override;
    Json::Value ToJson() const override;

    std::string DeviceId;
    std::string GsdPath;
    std::string GsdRefId;
    std::string DeviceName;
    PnDeviceInterfaceNode InterfaceNode;
};

// List-of-nodes document.
struct JSONRPCCLIENT_API PnListOfNodes : public PnObjectBase {
    PnListOfNodes();
    PnListOfNodes(const PnControllerNode& controllerNode,
                  const std::vector<PnDeviceNode>& deviceNodeList);
    PnListOfNodes(const PnListOfNodes&);
    PnListOfNodes& operator=(const PnListOfNodes&);
    ~PnListOfNodes() override;
    Json::Value ToJson() const override;

    PnControllerNode ControllerNode;
    std::vector<PnDeviceNode> DeviceNodeList;
};
