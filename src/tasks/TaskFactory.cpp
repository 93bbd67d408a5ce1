#include "tasks/TaskFactory.h"

#include "tasks/BldcDemoTask.h"
#include "tasks/LensTask.h"
#include "tasks/PeripheralTasks.h"
#include "tasks/PollingTask.h"

CTaskFactory* CTaskFactory::GetInstance() {
    // Never destroyed: tasks ending during static destruction may still ask it to forget them.
    static CTaskFactory* factory = new CTaskFactory;
    return factory;
}

ITask* CTaskFactory::CreateTask(std::uint32_t word, bool* created) {
    if (created) *created = false;
    ITask* task = nullptr;
    switch (taskword::Kind(word)) {
        case 0:
        case 6:
        case 7:
        case 8:
            task = new CDerivedTask(word);
            break;
        case kTaskPwm:
            task = new CTask_Pwm(word);
            break;
        case kTaskGpio:
            task = new CTask_Gpio(word);
            break;
        case kTaskAdc:
            task = new CTask_Adc(word);
            break;
        case kTaskInterrupt:
            task = new CTask_Int(word);
            break;
        case kTaskBldcSequence:
            task = new CBLDCTask(word);
            break;
        case kTaskLensSequence:
            task = new CLensTask(word);
            break;
        case kTaskI2c:
            task = new CTask_I2C(word);
            break;
        case kTaskPolling: {
            std::lock_guard guard(mutex_);
            if (polling_ != nullptr && !(polling_->IsStopping() && taskword::Command(word) != 0)) {
                polling_->SetCommand(word);
                return polling_;
            }
            if (taskword::Command(word) == 0) return nullptr;  // nothing runs that a stop word could stop
            polling_ = new CPollingTask(word);
            if (created) *created = true;
            return polling_;
        }
        case kTaskBldcDemo: {
            std::lock_guard guard(mutex_);
            if (demo_ != nullptr && !(demo_->IsStopping() && taskword::Command(word) != 0)) {
                demo_->SetCommand(word);
                return demo_;
            }
            if (taskword::Command(word) == 0) return nullptr;  // nothing runs that a stop word could stop
            demo_ = new CBldcDemoTask(word);
            if (created) *created = true;
            return demo_;
        }
        default:
            return nullptr;
    }
    if (created) *created = true;
    return task;
}

int CTaskFactory::SetPollingTask(CPollingTask* task) {
    std::lock_guard guard(mutex_);
    polling_ = task;
    return 1;
}

int CTaskFactory::SetBldcDemoTask(CBldcDemoTask* task) {
    std::lock_guard guard(mutex_);
    demo_ = task;
    return 1;
}

CPollingTask* CTaskFactory::GetPollingTask() const {
    std::lock_guard guard(mutex_);
    return polling_;
}

CBldcDemoTask* CTaskFactory::GetBldcDemoTask() const {
    std::lock_guard guard(mutex_);
    return demo_;
}

void CTaskFactory::Forget(const ITask* task) {
    std::lock_guard guard(mutex_);
    if (polling_ == task) polling_ = nullptr;
    if (demo_ == task) demo_ = nullptr;
}
