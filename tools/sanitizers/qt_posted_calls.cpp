// Linked into the Qt tests when they are built for ThreadSanitizer. Qt hands a
// posted call from one thread to another through its event queue, and frees
// it when the last of its reference counts goes, with a lock and atomics
// inside Qt that ThreadSanitizer cannot see (Qt is not built with it). So the
// posting thread's work looked unordered with the call, and the call with its
// destruction, which may happen on the posting thread. This wraps each call
// posted through QMetaObject::invokeMethod and tells ThreadSanitizer what Qt
// guarantees: the post happens before the call runs, and both before the call
// is destroyed. Nothing else is hidden: the call's own accesses are checked.
#include <QObject>

#include <dlfcn.h>
#include <sanitizer/tsan_interface.h>

namespace {

class OrderedCall : public QtPrivate::QSlotObjectBase {
  public:
    explicit OrderedCall(QtPrivate::QSlotObjectBase* call) : QSlotObjectBase(&Impl), call_(call) {
        __tsan_release(this);
    }

  private:
    static void Impl(int which, QSlotObjectBase* self, QObject* receiver, void** args, bool* ret) {
        auto* ordered = static_cast<OrderedCall*>(self);
        switch (which) {
            case Destroy:
                __tsan_acquire(ordered);
                ordered->call_->destroyIfLastRef();
                delete ordered;
                break;
            case Call:
                __tsan_acquire(ordered);
                ordered->call_->call(receiver, args);
                __tsan_release(ordered);
                break;
            case Compare:
                *ret = ordered->call_->compare(args);
                break;
            default:
                break;
        }
    }

    QtPrivate::QSlotObjectBase* call_;
};

}  // namespace

bool QMetaObject::invokeMethodImpl(QObject* object, QtPrivate::QSlotObjectBase* slot,
                                   Qt::ConnectionType type, void* ret) {
    using Real = bool (*)(QObject*, QtPrivate::QSlotObjectBase*, Qt::ConnectionType, void*);
    static const auto real =
        reinterpret_cast<Real>(dlsym(RTLD_NEXT,
                                     "_ZN11QMetaObject16invokeMethodImplEP7QObjectPN9QtPrivate15QSl"
                                     "otObjectBaseEN2Qt14ConnectionTypeEPv"));
    return real(object, new OrderedCall(slot), type, ret);
}
