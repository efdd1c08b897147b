#pragma once
// Declarations of the part of DirectML this program calls (DirectML.dll, x64), written from
// the library's public reference. The toolchains ship no DirectML header.

// GCC must call the struct-returning methods of the Direct3D 12 headers (descriptor-heap
// start handles) through the result pointer the MSVC ABI really uses.
#if !defined(_MSC_VER) && !defined(WIDL_EXPLICIT_AGGREGATE_RETURNS)
#define WIDL_EXPLICIT_AGGREGATE_RETURNS
#endif

#include <windows.h>

#include <cstddef>

#include <d3d12.h>

// Enumerations (32-bit).
enum DML_TENSOR_DATA_TYPE { DML_TENSOR_DATA_TYPE_FLOAT32 = 1, DML_TENSOR_DATA_TYPE_FLOAT16 = 2 };
enum DML_TENSOR_TYPE { DML_TENSOR_TYPE_BUFFER = 1 };
enum DML_TENSOR_FLAGS { DML_TENSOR_FLAG_NONE = 0 };
enum DML_OPERATOR_TYPE { DML_OPERATOR_GEMM = 54 };
enum DML_MATRIX_TRANSFORM { DML_MATRIX_TRANSFORM_NONE = 0, DML_MATRIX_TRANSFORM_TRANSPOSE = 1 };
enum DML_FEATURE { DML_FEATURE_TENSOR_DATA_TYPE_SUPPORT = 0 };
enum DML_EXECUTION_FLAGS { DML_EXECUTION_FLAG_NONE = 0 };
enum DML_CREATE_DEVICE_FLAGS { DML_CREATE_DEVICE_FLAG_NONE = 0 };
enum DML_BINDING_TYPE { DML_BINDING_TYPE_NONE = 0, DML_BINDING_TYPE_BUFFER = 1 };

struct DML_BUFFER_TENSOR_DESC {
    DML_TENSOR_DATA_TYPE DataType;
    DML_TENSOR_FLAGS Flags;
    UINT DimensionCount;
    const UINT* Sizes;
    const UINT* Strides;  // null: packed
    UINT64 TotalTensorSizeInBytes;
    UINT GuaranteedBaseOffsetAlignment;
};

struct DML_TENSOR_DESC {
    DML_TENSOR_TYPE Type;
    const void* Desc;
};

struct DML_OPERATOR_DESC {
    DML_OPERATOR_TYPE Type;
    const void* Desc;
};

struct DML_GEMM_OPERATOR_DESC {
    const DML_TENSOR_DESC* ATensor;
    const DML_TENSOR_DESC* BTensor;
    const DML_TENSOR_DESC* CTensor;  // optional
    const DML_TENSOR_DESC* OutputTensor;
    DML_MATRIX_TRANSFORM TransA;
    DML_MATRIX_TRANSFORM TransB;
    FLOAT Alpha;
    FLOAT Beta;
    const DML_OPERATOR_DESC* FusedActivation;  // optional
};

struct DML_FEATURE_QUERY_TENSOR_DATA_TYPE_SUPPORT {
    DML_TENSOR_DATA_TYPE DataType;
};

struct DML_FEATURE_DATA_TENSOR_DATA_TYPE_SUPPORT {
    BOOL IsSupported;
};

struct IDMLDispatchable;

struct DML_BINDING_TABLE_DESC {
    IDMLDispatchable* Dispatchable;
    D3D12_CPU_DESCRIPTOR_HANDLE CPUDescriptorHandle;
    D3D12_GPU_DESCRIPTOR_HANDLE GPUDescriptorHandle;
    UINT SizeInDescriptors;
};

struct DML_BINDING_PROPERTIES {
    UINT RequiredDescriptorCount;
    UINT64 TemporaryResourceSize;
    UINT64 PersistentResourceSize;
};

struct DML_BINDING_DESC {
    DML_BINDING_TYPE Type;
    const void* Desc;
};

struct DML_BUFFER_BINDING {
    ID3D12Resource* Buffer;
    UINT64 Offset;
    UINT64 SizeInBytes;
};

static_assert(sizeof(DML_BUFFER_TENSOR_DESC) == 48);
static_assert(offsetof(DML_BUFFER_TENSOR_DESC, Sizes) == 16);
static_assert(offsetof(DML_BUFFER_TENSOR_DESC, Strides) == 24);
static_assert(offsetof(DML_BUFFER_TENSOR_DESC, TotalTensorSizeInBytes) == 32);
static_assert(offsetof(DML_BUFFER_TENSOR_DESC, GuaranteedBaseOffsetAlignment) == 40);
static_assert(sizeof(DML_TENSOR_DESC) == 16 && offsetof(DML_TENSOR_DESC, Desc) == 8);
static_assert(sizeof(DML_OPERATOR_DESC) == 16 && offsetof(DML_OPERATOR_DESC, Desc) == 8);
static_assert(sizeof(DML_GEMM_OPERATOR_DESC) == 56);
static_assert(offsetof(DML_GEMM_OPERATOR_DESC, OutputTensor) == 24);
static_assert(offsetof(DML_GEMM_OPERATOR_DESC, TransA) == 32);
static_assert(offsetof(DML_GEMM_OPERATOR_DESC, Alpha) == 40);
static_assert(offsetof(DML_GEMM_OPERATOR_DESC, Beta) == 44);
static_assert(offsetof(DML_GEMM_OPERATOR_DESC, FusedActivation) == 48);
static_assert(sizeof(DML_FEATURE_QUERY_TENSOR_DATA_TYPE_SUPPORT) == 4);
static_assert(sizeof(DML_FEATURE_DATA_TENSOR_DATA_TYPE_SUPPORT) == 4);
static_assert(sizeof(DML_BINDING_TABLE_DESC) == 32);
static_assert(offsetof(DML_BINDING_TABLE_DESC, CPUDescriptorHandle) == 8);
static_assert(offsetof(DML_BINDING_TABLE_DESC, GPUDescriptorHandle) == 16);
static_assert(offsetof(DML_BINDING_TABLE_DESC, SizeInDescriptors) == 24);
static_assert(sizeof(DML_BINDING_PROPERTIES) == 24);
static_assert(offsetof(DML_BINDING_PROPERTIES, TemporaryResourceSize) == 8);
static_assert(offsetof(DML_BINDING_PROPERTIES, PersistentResourceSize) == 16);
static_assert(sizeof(DML_BINDING_DESC) == 16 && offsetof(DML_BINDING_DESC, Desc) == 8);
static_assert(sizeof(DML_BUFFER_BINDING) == 24);
static_assert(offsetof(DML_BUFFER_BINDING, Offset) == 8);
static_assert(offsetof(DML_BUFFER_BINDING, SizeInBytes) == 16);

// Interface ids.
inline constexpr GUID kIidDmlDevice = {
    0x6dbd6437, 0x96fd, 0x423f, {0xa9, 0x8c, 0xae, 0x5e, 0x7c, 0x2a, 0x57, 0x3f}};
inline constexpr GUID kIidDmlOperator = {
    0x26caae7a, 0x3081, 0x4633, {0x95, 0x81, 0x22, 0x6f, 0xbe, 0x57, 0x69, 0x5d}};
inline constexpr GUID kIidDmlCompiledOperator = {
    0x6b15e56a, 0xbf5c, 0x4902, {0x92, 0xd8, 0xda, 0x3a, 0x65, 0x0a, 0xfe, 0xa4}};
inline constexpr GUID kIidDmlOperatorInitializer = {
    0x427c1113, 0x435c, 0x469c, {0x86, 0x76, 0x4d, 0x5d, 0xd0, 0x72, 0xf8, 0x13}};
inline constexpr GUID kIidDmlBindingTable = {
    0x29c687dc, 0xde74, 0x4e3b, {0xab, 0x00, 0x11, 0x68, 0xf2, 0xfc, 0x3c, 0xfc}};
inline constexpr GUID kIidDmlCommandRecorder = {
    0xe6857a76, 0x2e3e, 0x4fdd, {0xbf, 0xf4, 0x5d, 0x2b, 0xa1, 0x0f, 0xb4, 0x53}};

struct IDMLObject : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID guid, UINT* dataSize, void* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID guid, UINT dataSize,
                                                     const void* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPrivateDataInterface(REFGUID guid, IUnknown* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetName(PCWSTR name) = 0;
};

struct IDMLDeviceChild : public IDMLObject {
    virtual HRESULT STDMETHODCALLTYPE GetDevice(REFIID riid, void** device) = 0;
};

struct IDMLPageable : public IDMLDeviceChild {};

struct IDMLOperator : public IDMLDeviceChild {};

struct IDMLDispatchable : public IDMLPageable {
#if defined(_MSC_VER)
    virtual DML_BINDING_PROPERTIES STDMETHODCALLTYPE GetBindingProperties() = 0;
#else
    // The MSVC ABI returns this structure through a hidden pointer, passed after `this` and
    // returned; GCC only produces that for an explicit result pointer.
    virtual DML_BINDING_PROPERTIES* STDMETHODCALLTYPE
    GetBindingProperties(DML_BINDING_PROPERTIES* result) = 0;
#endif
};

struct IDMLCompiledOperator : public IDMLDispatchable {};

struct IDMLOperatorInitializer : public IDMLDispatchable {
    virtual HRESULT STDMETHODCALLTYPE Reset(UINT operatorCount,
                                            IDMLCompiledOperator* const* operators) = 0;
};

struct IDMLBindingTable : public IDMLDeviceChild {
    virtual void STDMETHODCALLTYPE BindInputs(UINT bindingCount,
                                              const DML_BINDING_DESC* bindings) = 0;
    virtual void STDMETHODCALLTYPE BindOutputs(UINT bindingCount,
                                               const DML_BINDING_DESC* bindings) = 0;
    virtual void STDMETHODCALLTYPE BindTemporaryResource(const DML_BINDING_DESC* binding) = 0;
    virtual void STDMETHODCALLTYPE BindPersistentResource(const DML_BINDING_DESC* binding) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset(const DML_BINDING_TABLE_DESC* desc) = 0;
};

struct IDMLCommandRecorder : public IDMLDeviceChild {
    virtual void STDMETHODCALLTYPE RecordDispatch(ID3D12CommandList* commandList,
                                                  IDMLDispatchable* dispatchable,
                                                  IDMLBindingTable* bindings) = 0;
};

struct IDMLDevice : public IDMLObject {
    virtual HRESULT STDMETHODCALLTYPE CheckFeatureSupport(DML_FEATURE feature,
                                                          UINT featureQueryDataSize,
                                                          const void* featureQueryData,
                                                          UINT featureSupportDataSize,
                                                          void* featureSupportData) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateOperator(const DML_OPERATOR_DESC* desc, REFIID riid,
                                                     void** op) = 0;
    virtual HRESULT STDMETHODCALLTYPE CompileOperator(IDMLOperator* op, DML_EXECUTION_FLAGS flags,
                                                      REFIID riid, void** compiled) = 0;
    virtual HRESULT STDMETHODCALLTYPE
    CreateOperatorInitializer(UINT operatorCount, IDMLCompiledOperator* const* operators,
                              REFIID riid, void** initializer) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateCommandRecorder(REFIID riid, void** recorder) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateBindingTable(const DML_BINDING_TABLE_DESC* desc,
                                                         REFIID riid, void** table) = 0;
    virtual HRESULT STDMETHODCALLTYPE Evict(UINT count, IDMLPageable* const* objects) = 0;
    virtual HRESULT STDMETHODCALLTYPE MakeResident(UINT count, IDMLPageable* const* objects) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceRemovedReason() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetParentDevice(REFIID riid, void** device) = 0;
};

using DmlCreateDeviceFunction = HRESULT(WINAPI*)(ID3D12Device* device,
                                                 DML_CREATE_DEVICE_FLAGS flags, REFIID riid,
                                                 void** dmlDevice);
