/*
 * A Vulkan layer for the Wine tests: it presents Mesa's lavapipe, a software driver, to
 * Wine's Direct3D 12 as a discrete GPU.
 *
 * Wine's Direct3D 12 calls a device UMA (an integrated GPU) when every memory type can be seen
 * by the CPU. All of lavapipe's can, so without this layer the DirectML run could only take its
 * integrated shape on the real stack. The layer puts one device-local memory type that the CPU
 * cannot see in front of the driver's types (index 0), allocates it from the driver's first
 * device-local type, and shifts the driver's own type indices and the memory-type bits of
 * resource requirements by one to match. Everything else passes straight through.
 *
 * Loaded through the manifest next to it: VK_LAYER_PATH=<its folder>
 * VK_INSTANCE_LAYERS=VK_LAYER_MIVARO_discrete_memory.
 */
#include <pthread.h>
#include <stdint.h>
#include <string.h>
#include <vulkan/vk_layer.h>

/* The driver type that the added type allocates from, per physical device; kNone when the
 * driver has no device-local type or no room for one more type (the layer then changes
 * nothing). */
#define kNone UINT32_MAX

static uint32_t BackingType(const VkPhysicalDeviceMemoryProperties* driver) {
    if (driver->memoryTypeCount >= VK_MAX_MEMORY_TYPES) return kNone;
    for (uint32_t i = 0; i < driver->memoryTypeCount; ++i) {
        if (driver->memoryTypes[i].propertyFlags & VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT) return i;
    }
    return kNone;
}

static void AddDeviceOnlyType(VkPhysicalDeviceMemoryProperties* properties) {
    const uint32_t backing = BackingType(properties);
    if (backing == kNone) return;
    memmove(&properties->memoryTypes[1], &properties->memoryTypes[0],
            properties->memoryTypeCount * sizeof(properties->memoryTypes[0]));
    properties->memoryTypes[0].propertyFlags = VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT;
    properties->memoryTypes[0].heapIndex = properties->memoryTypes[backing + 1].heapIndex;
    ++properties->memoryTypeCount;
}

static uint32_t LayerTypeBits(uint32_t backing, uint32_t driverBits) {
    if (backing == kNone) return driverBits;
    return (driverBits << 1) | ((driverBits >> backing) & 1u);
}

static uint32_t DriverTypeIndex(uint32_t backing, uint32_t layerIndex) {
    if (backing == kNone) return layerIndex;
    return layerIndex == 0 ? backing : layerIndex - 1;
}

/* Instances and devices by the loader's dispatch key (the first pointer inside the handle;
 * physical devices share their instance's). */
typedef struct {
    void* key;
    VkInstance handle;
    PFN_vkGetInstanceProcAddr next;
    PFN_vkDestroyInstance destroy;
    PFN_vkGetPhysicalDeviceMemoryProperties memoryProperties;
    PFN_vkGetPhysicalDeviceMemoryProperties2 memoryProperties2;
} Instance;

typedef struct {
    void* key;
    uint32_t backing;
    PFN_vkGetDeviceProcAddr next;
    PFN_vkDestroyDevice destroy;
    PFN_vkAllocateMemory allocate;
    PFN_vkGetBufferMemoryRequirements bufferRequirements;
    PFN_vkGetImageMemoryRequirements imageRequirements;
    PFN_vkGetBufferMemoryRequirements2 bufferRequirements2;
    PFN_vkGetImageMemoryRequirements2 imageRequirements2;
    PFN_vkGetDeviceBufferMemoryRequirements deviceBufferRequirements;
    PFN_vkGetDeviceImageMemoryRequirements deviceImageRequirements;
} Device;

enum { kSlots = 32 };
static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static Instance instances[kSlots];
static Device devices[kSlots];

static void* Key(const void* handle) { return *(void* const*)handle; }

/* The slot whose key is `key`; with key NULL, a free slot. */
#define DEFINE_FIND(Type, table)                                     \
    static Type* Find##Type(void* key) {                             \
        Type* found = NULL;                                          \
        pthread_mutex_lock(&lock);                                   \
        for (int i = 0; i < kSlots && found == NULL; ++i) {          \
            if (table[i].key == key) found = &table[i];              \
        }                                                            \
        pthread_mutex_unlock(&lock);                                 \
        return found;                                                \
    }                                                                \
    static int Store##Type(const Type* record) {                     \
        int stored = 0;                                              \
        pthread_mutex_lock(&lock);                                   \
        for (int i = 0; i < kSlots && !stored; ++i) {                \
            if (table[i].key == NULL) {                              \
                table[i] = *record;                                  \
                stored = 1;                                          \
            }                                                        \
        }                                                            \
        pthread_mutex_unlock(&lock);                                 \
        return stored;                                               \
    }                                                                \
    static void Forget##Type(void* key) {                            \
        pthread_mutex_lock(&lock);                                   \
        for (int i = 0; i < kSlots; ++i) {                           \
            if (table[i].key == key) table[i].key = NULL;            \
        }                                                            \
        pthread_mutex_unlock(&lock);                                 \
    }
DEFINE_FIND(Instance, instances)
DEFINE_FIND(Device, devices)

/* The loader's link to the next layer, from a create-info chain. */
static void* NextLink(const void* chain, VkStructureType type) {
    for (const VkBaseInStructure* s = chain; s != NULL; s = s->pNext) {
        if (s->sType == type && ((const VkLayerInstanceCreateInfo*)s)->function == VK_LAYER_LINK_INFO) {
            return (void*)s;
        }
    }
    return NULL;
}

/* Physical device: the memory properties with the added type. */

static VKAPI_ATTR void VKAPI_CALL GetPhysicalDeviceMemoryProperties(
    VkPhysicalDevice physicalDevice, VkPhysicalDeviceMemoryProperties* properties) {
    FindInstance(Key(physicalDevice))->memoryProperties(physicalDevice, properties);
    AddDeviceOnlyType(properties);
}

static VKAPI_ATTR void VKAPI_CALL GetPhysicalDeviceMemoryProperties2(
    VkPhysicalDevice physicalDevice, VkPhysicalDeviceMemoryProperties2* properties) {
    FindInstance(Key(physicalDevice))->memoryProperties2(physicalDevice, properties);
    AddDeviceOnlyType(&properties->memoryProperties);
}

/* Device: allocations of the added type and the type bits of requirements. */

static VKAPI_ATTR VkResult VKAPI_CALL AllocateMemory(VkDevice device, const VkMemoryAllocateInfo* info,
                                                     const VkAllocationCallbacks* allocator,
                                                     VkDeviceMemory* memory) {
    const Device* found = FindDevice(Key(device));
    VkMemoryAllocateInfo driverInfo = *info;
    driverInfo.memoryTypeIndex = DriverTypeIndex(found->backing, info->memoryTypeIndex);
    return found->allocate(device, &driverInfo, allocator, memory);
}

static VKAPI_ATTR void VKAPI_CALL GetBufferMemoryRequirements(VkDevice device, VkBuffer buffer,
                                                              VkMemoryRequirements* requirements) {
    const Device* found = FindDevice(Key(device));
    found->bufferRequirements(device, buffer, requirements);
    requirements->memoryTypeBits = LayerTypeBits(found->backing, requirements->memoryTypeBits);
}

static VKAPI_ATTR void VKAPI_CALL GetImageMemoryRequirements(VkDevice device, VkImage image,
                                                             VkMemoryRequirements* requirements) {
    const Device* found = FindDevice(Key(device));
    found->imageRequirements(device, image, requirements);
    requirements->memoryTypeBits = LayerTypeBits(found->backing, requirements->memoryTypeBits);
}

#define DEFINE_REQUIREMENTS2(Name, member, InfoType)                                        \
    static VKAPI_ATTR void VKAPI_CALL Name(VkDevice device, const InfoType* info,          \
                                           VkMemoryRequirements2* requirements) {          \
        const Device* found = FindDevice(Key(device));                                     \
        found->member(device, info, requirements);                                         \
        requirements->memoryRequirements.memoryTypeBits =                                  \
            LayerTypeBits(found->backing, requirements->memoryRequirements.memoryTypeBits); \
    }
DEFINE_REQUIREMENTS2(GetBufferMemoryRequirements2, bufferRequirements2, VkBufferMemoryRequirementsInfo2)
DEFINE_REQUIREMENTS2(GetImageMemoryRequirements2, imageRequirements2, VkImageMemoryRequirementsInfo2)
DEFINE_REQUIREMENTS2(GetDeviceBufferMemoryRequirements, deviceBufferRequirements,
                     VkDeviceBufferMemoryRequirements)
DEFINE_REQUIREMENTS2(GetDeviceImageMemoryRequirements, deviceImageRequirements,
                     VkDeviceImageMemoryRequirements)

/* Creation and destruction: the chain to the next layer, and the records above. */

static VKAPI_ATTR VkResult VKAPI_CALL CreateInstance(const VkInstanceCreateInfo* info,
                                                     const VkAllocationCallbacks* allocator,
                                                     VkInstance* instance) {
    VkLayerInstanceCreateInfo* link = NextLink(info->pNext, VK_STRUCTURE_TYPE_LOADER_INSTANCE_CREATE_INFO);
    if (link == NULL) return VK_ERROR_INITIALIZATION_FAILED;
    const PFN_vkGetInstanceProcAddr next = link->u.pLayerInfo->pfnNextGetInstanceProcAddr;
    link->u.pLayerInfo = link->u.pLayerInfo->pNext;
    const PFN_vkCreateInstance create = (PFN_vkCreateInstance)next(NULL, "vkCreateInstance");
    const VkResult result = create(info, allocator, instance);
    if (result != VK_SUCCESS) return result;

    Instance record = {Key(*instance), *instance, next, NULL, NULL, NULL};
    record.destroy = (PFN_vkDestroyInstance)next(*instance, "vkDestroyInstance");
    record.memoryProperties = (PFN_vkGetPhysicalDeviceMemoryProperties)next(
        *instance, "vkGetPhysicalDeviceMemoryProperties");
    record.memoryProperties2 = (PFN_vkGetPhysicalDeviceMemoryProperties2)next(
        *instance, "vkGetPhysicalDeviceMemoryProperties2");
    if (record.memoryProperties2 == NULL) {
        record.memoryProperties2 = (PFN_vkGetPhysicalDeviceMemoryProperties2)next(
            *instance, "vkGetPhysicalDeviceMemoryProperties2KHR");
    }
    if (!StoreInstance(&record)) {
        record.destroy(*instance, allocator);
        return VK_ERROR_OUT_OF_HOST_MEMORY;
    }
    return VK_SUCCESS;
}

static VKAPI_ATTR void VKAPI_CALL DestroyInstance(VkInstance instance, const VkAllocationCallbacks* allocator) {
    if (instance == VK_NULL_HANDLE) return;
    const PFN_vkDestroyInstance destroy = FindInstance(Key(instance))->destroy;
    ForgetInstance(Key(instance));
    destroy(instance, allocator);
}

/* A device function under its core name, or its extension alias where only that exists. */
static PFN_vkVoidFunction DeviceFunction(PFN_vkGetDeviceProcAddr next, VkDevice device, const char* core,
                                         const char* alias) {
    const PFN_vkVoidFunction function = next(device, core);
    return function != NULL ? function : next(device, alias);
}

static VKAPI_ATTR VkResult VKAPI_CALL CreateDevice(VkPhysicalDevice physicalDevice,
                                                   const VkDeviceCreateInfo* info,
                                                   const VkAllocationCallbacks* allocator,
                                                   VkDevice* device) {
    VkLayerDeviceCreateInfo* link = NextLink(info->pNext, VK_STRUCTURE_TYPE_LOADER_DEVICE_CREATE_INFO);
    const Instance* instance = FindInstance(Key(physicalDevice));
    if (link == NULL || instance == NULL) return VK_ERROR_INITIALIZATION_FAILED;
    const PFN_vkGetDeviceProcAddr next = link->u.pLayerInfo->pfnNextGetDeviceProcAddr;
    const PFN_vkCreateDevice create = (PFN_vkCreateDevice)link->u.pLayerInfo->pfnNextGetInstanceProcAddr(
        instance->handle, "vkCreateDevice");
    link->u.pLayerInfo = link->u.pLayerInfo->pNext;
    const VkResult result = create(physicalDevice, info, allocator, device);
    if (result != VK_SUCCESS) return result;

    VkPhysicalDeviceMemoryProperties driver;
    instance->memoryProperties(physicalDevice, &driver);
    Device record;
    memset(&record, 0, sizeof(record));
    record.key = Key(*device);
    record.backing = BackingType(&driver);
    record.next = next;
    record.destroy = (PFN_vkDestroyDevice)next(*device, "vkDestroyDevice");
    record.allocate = (PFN_vkAllocateMemory)next(*device, "vkAllocateMemory");
    record.bufferRequirements =
        (PFN_vkGetBufferMemoryRequirements)next(*device, "vkGetBufferMemoryRequirements");
    record.imageRequirements = (PFN_vkGetImageMemoryRequirements)next(*device, "vkGetImageMemoryRequirements");
    record.bufferRequirements2 = (PFN_vkGetBufferMemoryRequirements2)DeviceFunction(
        next, *device, "vkGetBufferMemoryRequirements2", "vkGetBufferMemoryRequirements2KHR");
    record.imageRequirements2 = (PFN_vkGetImageMemoryRequirements2)DeviceFunction(
        next, *device, "vkGetImageMemoryRequirements2", "vkGetImageMemoryRequirements2KHR");
    record.deviceBufferRequirements = (PFN_vkGetDeviceBufferMemoryRequirements)DeviceFunction(
        next, *device, "vkGetDeviceBufferMemoryRequirements", "vkGetDeviceBufferMemoryRequirementsKHR");
    record.deviceImageRequirements = (PFN_vkGetDeviceImageMemoryRequirements)DeviceFunction(
        next, *device, "vkGetDeviceImageMemoryRequirements", "vkGetDeviceImageMemoryRequirementsKHR");
    if (!StoreDevice(&record)) {
        record.destroy(*device, allocator);
        return VK_ERROR_OUT_OF_HOST_MEMORY;
    }
    return VK_SUCCESS;
}

static VKAPI_ATTR void VKAPI_CALL DestroyDevice(VkDevice device, const VkAllocationCallbacks* allocator) {
    if (device == VK_NULL_HANDLE) return;
    const PFN_vkDestroyDevice destroy = FindDevice(Key(device))->destroy;
    ForgetDevice(Key(device));
    destroy(device, allocator);
}

/* Function lookup: the layer's own functions where the next one has the function too. */

static VKAPI_ATTR PFN_vkVoidFunction VKAPI_CALL GetInstanceProcAddr(VkInstance instance, const char* name);
static VKAPI_ATTR PFN_vkVoidFunction VKAPI_CALL GetDeviceProcAddr(VkDevice device, const char* name);

static PFN_vkVoidFunction OwnFunction(const char* name) {
    static const struct {
        const char* name;
        PFN_vkVoidFunction function;
    } own[] = {
        {"vkGetInstanceProcAddr", (PFN_vkVoidFunction)GetInstanceProcAddr},
        {"vkGetDeviceProcAddr", (PFN_vkVoidFunction)GetDeviceProcAddr},
        {"vkCreateInstance", (PFN_vkVoidFunction)CreateInstance},
        {"vkDestroyInstance", (PFN_vkVoidFunction)DestroyInstance},
        {"vkCreateDevice", (PFN_vkVoidFunction)CreateDevice},
        {"vkDestroyDevice", (PFN_vkVoidFunction)DestroyDevice},
        {"vkGetPhysicalDeviceMemoryProperties", (PFN_vkVoidFunction)GetPhysicalDeviceMemoryProperties},
        {"vkGetPhysicalDeviceMemoryProperties2", (PFN_vkVoidFunction)GetPhysicalDeviceMemoryProperties2},
        {"vkGetPhysicalDeviceMemoryProperties2KHR", (PFN_vkVoidFunction)GetPhysicalDeviceMemoryProperties2},
        {"vkAllocateMemory", (PFN_vkVoidFunction)AllocateMemory},
        {"vkGetBufferMemoryRequirements", (PFN_vkVoidFunction)GetBufferMemoryRequirements},
        {"vkGetImageMemoryRequirements", (PFN_vkVoidFunction)GetImageMemoryRequirements},
        {"vkGetBufferMemoryRequirements2", (PFN_vkVoidFunction)GetBufferMemoryRequirements2},
        {"vkGetBufferMemoryRequirements2KHR", (PFN_vkVoidFunction)GetBufferMemoryRequirements2},
        {"vkGetImageMemoryRequirements2", (PFN_vkVoidFunction)GetImageMemoryRequirements2},
        {"vkGetImageMemoryRequirements2KHR", (PFN_vkVoidFunction)GetImageMemoryRequirements2},
        {"vkGetDeviceBufferMemoryRequirements", (PFN_vkVoidFunction)GetDeviceBufferMemoryRequirements},
        {"vkGetDeviceBufferMemoryRequirementsKHR", (PFN_vkVoidFunction)GetDeviceBufferMemoryRequirements},
        {"vkGetDeviceImageMemoryRequirements", (PFN_vkVoidFunction)GetDeviceImageMemoryRequirements},
        {"vkGetDeviceImageMemoryRequirementsKHR", (PFN_vkVoidFunction)GetDeviceImageMemoryRequirements},
    };
    for (size_t i = 0; i < sizeof(own) / sizeof(own[0]); ++i) {
        if (strcmp(name, own[i].name) == 0) return own[i].function;
    }
    return NULL;
}

static VKAPI_ATTR PFN_vkVoidFunction VKAPI_CALL GetInstanceProcAddr(VkInstance instance, const char* name) {
    if (strcmp(name, "vkGetInstanceProcAddr") == 0 || strcmp(name, "vkCreateInstance") == 0) {
        return OwnFunction(name);
    }
    const Instance* found = instance == VK_NULL_HANDLE ? NULL : FindInstance(Key(instance));
    if (found == NULL) return NULL;
    const PFN_vkVoidFunction next = found->next(instance, name);
    const PFN_vkVoidFunction own = OwnFunction(name);
    return next != NULL && own != NULL ? own : next;
}

static VKAPI_ATTR PFN_vkVoidFunction VKAPI_CALL GetDeviceProcAddr(VkDevice device, const char* name) {
    const Device* found = FindDevice(Key(device));
    if (found == NULL) return NULL;
    const PFN_vkVoidFunction next = found->next(device, name);
    const PFN_vkVoidFunction own = OwnFunction(name);
    return next != NULL && own != NULL ? own : next;
}

VK_LAYER_EXPORT VKAPI_ATTR VkResult VKAPI_CALL
vkNegotiateLoaderLayerInterfaceVersion(VkNegotiateLayerInterface* version) {
    if (version->sType != LAYER_NEGOTIATE_INTERFACE_STRUCT || version->loaderLayerInterfaceVersion < 2) {
        return VK_ERROR_INITIALIZATION_FAILED;
    }
    version->loaderLayerInterfaceVersion = 2;
    version->pfnGetInstanceProcAddr = GetInstanceProcAddr;
    version->pfnGetDeviceProcAddr = GetDeviceProcAddr;
    version->pfnGetPhysicalDeviceProcAddr = NULL;
    return VK_SUCCESS;
}
