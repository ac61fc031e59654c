#include "runtime/Block.h"

Class NSBlock::objcClass() {
    static Class const cls = objc_defineClass("NSBlock", NSObject::objcClass(), &instance_factory<NSBlock>);
    return cls;
}

Ref<NSBlock> NSBlock::make(std::function<void()> body) {
    auto block = make_object<NSBlock>();
    block->m_body = std::move(body);
    return block;
}
