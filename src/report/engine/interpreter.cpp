#include "report/engine/interpreter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "report/engine/compiler.h"
#include "report/engine/emit.h"
#include "report/engine/lexer.h"
#include "report/engine/operators.h"
#include "report/engine/syntax.h"
#include "report/engine/wipe.h"

namespace zelvant::report {

namespace {

constexpr int kMaxCallDepth = 1000;
constexpr std::int32_t kDefaultLoopLimit = 1000;

// `break` and `continue` are jumps; these end chains until something takes them up.
enum class Status { None, Return, Exit };

// A variable slot holds a value or refers to another slot (a caller's variable).
struct CStackSlot {
    CStackSlot() = default;
    explicit CStackSlot(CValue v) : value(std::move(v)) {}
    explicit CStackSlot(std::size_t r) : ref(r) {}

    CValue value;
    std::size_t ref = SIZE_MAX;
};

// What `execute` compiles into: the template's variable table, extended by executed text.
struct CWorkingCopy {
    const CTemplate* owner = nullptr;
    std::vector<std::string> vars;
};

// Collects what a run writes to its page and hands it on in blocks: a report makes millions of
// small writes, and each would otherwise be a call through the stream's interface. The buffer
// is the free space the stream offers (see COutputStream::Put), so the environment's writes
// land there too. The environment, the output factory and commands write to the page through
// it, so everything stays in order.
class CBufferedOutput final : public COutputStream {
  public:
    explicit CBufferedOutput(COutputStream& target)
        : target_(target), buffer_(std::make_unique<char[]>(kSize)) {
        next_ = buffer_.get();
        end_ = buffer_.get() + kSize;
    }
    CBufferedOutput(const CBufferedOutput&) = delete;
    CBufferedOutput& operator=(const CBufferedOutput&) = delete;
    ~CBufferedOutput() override {
        Flush();
        WipeBytes(buffer_.get(), kSize);  // the page holds passwords
    }

    // Whether the stream took the bytes shows only when they are handed on.
    bool Write(const char* bytes, std::size_t& length) override {
        if (length > static_cast<std::size_t>(end_ - next_)) {
            Flush();
        }
        if (length >= kSize) {
            WriteText(target_, std::string_view(bytes, length));
        } else {
            std::memcpy(next_, bytes, length);
            next_ += length;
        }
        return length > 0;
    }

    void Flush() {
        WriteText(target_, std::string_view(buffer_.get(), next_));
        next_ = buffer_.get();
    }

  private:
    static constexpr std::size_t kSize = 16384;

    COutputStream& target_;
    std::unique_ptr<char[]> buffer_;
};

// A stack of plain entries that stays allocated for the run; pushing and popping are a few
// instructions, which matters when every template call pushes.
template <class T>
class CPlainStack {
  public:
    // The caller sets what it needs of the entry.
    T& Push() {
        if (size_ == items_.size()) {
            items_.resize(std::max<std::size_t>(16, 2 * items_.size()));
        }
        return items_[size_++];
    }
    void Pop() { --size_; }
    T& Top() { return items_[size_ - 1]; }
    bool Empty() const { return size_ == 0; }
    std::size_t Size() const { return size_; }

  private:
    std::vector<T> items_;
    std::size_t size_ = 0;
};

// A stack in raw storage: pushing constructs in place and popping destroys, with nothing
// assigned in between. References into it last until it grows, so an item of the stack is
// never pushed onto it again directly.
template <class T>
class CRawStack {
  public:
    CRawStack() = default;
    CRawStack(const CRawStack&) = delete;
    CRawStack& operator=(const CRawStack&) = delete;
    ~CRawStack() {
        Drop(top_);
        std::allocator<T>().deallocate(items_, capacity_);
    }

    template <class... A>
    void Push(A&&... a) {
        if (top_ == capacity_) {
            Grow();
        }
        ::new (static_cast<void*>(items_ + top_)) T(std::forward<A>(a)...);
        ++top_;
    }
    T Pop() {
        T* item = items_ + --top_;
        T v(std::move(*item));
        item->~T();
        return v;
    }
    // The item `below` places under the top.
    T& Top(std::size_t below = 0) { return items_[top_ - 1 - below]; }
    T& operator[](std::size_t i) { return items_[i]; }
    void Drop(std::size_t n) {
        for (; n > 0; --n) {
            items_[--top_].~T();
        }
    }
    // Drops down to `size` items, or pushes default ones up to it.
    void Resize(std::size_t size) {
        if (size < top_) {
            Drop(top_ - size);
        }
        while (top_ < size) {
            Push();
        }
    }
    std::span<const T> Last(std::size_t n) const {
        return std::span<const T>(items_ + (top_ - n), n);
    }
    std::size_t Size() const { return top_; }

  private:
    void Grow() {
        const std::size_t capacity = std::max<std::size_t>(32, 2 * capacity_);
        T* items = std::allocator<T>().allocate(capacity);
        for (std::size_t i = 0; i < top_; ++i) {
            ::new (static_cast<void*>(items + i)) T(std::move(items_[i]));
            items_[i].~T();
        }
        std::allocator<T>().deallocate(items_, capacity_);
        items_ = items;
        capacity_ = capacity;
    }

    T* items_ = nullptr;
    std::size_t top_ = 0;
    std::size_t capacity_ = 0;
};

// The caller's state, restored when an invocation returns.
struct CSavedFrame {
    const CTemplate* tmpl = nullptr;
    std::size_t frameBase = 0;
    std::size_t varBase = 0;
    std::size_t argCount = 0;
    std::int32_t loopLimit = 0;
    bool insideExecute = false;
};

// What runs is kept on an explicit work stack of chains, so that nested template calls consume
// no native stack; blocks within a chain are jumps. The chain on top is what runs next: the
// body of a template invocation, or text compiled by `execute` running in the frame below it.
struct CTask {
    enum class Kind : std::uint8_t { Invocation, Executed };

    Kind kind = Kind::Invocation;
    std::uint32_t pc = 0;  // the next instruction
    const CCode* code = nullptr;
    // How many `setoutput` redirections were open when it started.
    std::size_t outputs = 0;
    // How many more runs the `while` at each nesting level may make.
    std::int32_t remaining[kMaxWhileNesting] = {};
    // Invocation: what its end restores.
    CSavedFrame caller;
};

struct CRedirect {
    std::unique_ptr<COutputStream> stream;
    COutputStream* saved = nullptr;
};

// A name of a one-link `env` expression as the environment resolved it for the run.
struct CResolvedName {
    int number = CEnvironment::kByName;
    bool constant = false;  // `value` answers it when asked without arguments
    CValue value;
};

// Text compiled by `execute` while it runs, with the numbers its `env` names were given.
struct CCompiled {
    std::unique_ptr<CCode> code;
    std::size_t firstNumber = 0;
};

class CRunContext {
  public:
    CRunContext(CEnvironment* environment, COutputStream& output, COutputFactory* factory,
                const RunOptions& options)
        : env_(environment), factory_(factory), page_(output), out_(&page_), options_(options) {}

    void Run(const CTemplate& entry) {
        // The names the set's `env` expressions use are looked up once, here.
        if (const CTemplateSet* set = entry.Owner(); set != nullptr) {
            names_.reserve(set->EnvNames().size());
            for (const std::string& name : set->EnvNames()) {
                AddName(name);
            }
        }
        Invoke(entry, 0);
        while (!work_.Empty()) {
            Exec();
        }
        page_.Flush();
    }

  private:
    // Only the page is collected: a stream of `setoutput` offers no free space, so it sees each
    // write as it happens.
    [[gnu::always_inline]] void Write(std::string_view text) { out_->Put(text); }

    [[gnu::always_inline]] void WriteValue(const CValue& v) {
        if (v.IsString()) {
            Write(v.StringValue());
            return;
        }
        char buffer[CValue::kNumberTextSize];
        Write(v.Text(buffer));
    }

    CStackSlot& Target(std::size_t index) {
        CStackSlot& s = stack_[index];
        return s.ref == SIZE_MAX ? s : stack_[s.ref];
    }
    CValue& Var(std::uint32_t v) { return Target(varBase_ + v).value; }

    CTask& PushChain(CTask::Kind kind, const CCode& code) {
        CTask& t = work_.Push();
        t.kind = kind;
        t.pc = 0;
        t.code = &code;
        t.outputs = redirects_.size();
        return t;
    }

    // Whatever ends the chain on top also ends the redirections it opened, and a `return`
    // ends no more than it.
    void EndChain() {
        CTask& t = work_.Top();
        while (redirects_.size() > t.outputs) {
            CloseOutput();
        }
        if (status_ == Status::Return) {
            status_ = Status::None;
        }
        if (t.kind == CTask::Kind::Executed) {
            work_.Pop();
            insideExecute_ = false;
            names_.resize(compiled_.back().firstNumber);
            compiled_.pop_back();
            return;
        }
        const CSavedFrame caller = t.caller;
        work_.Pop();
        if (!copies_.empty() && copies_.back().owner == current_) {
            copies_.pop_back();
        }
        Leave(caller);
    }

    // Runs the chain on top, and the chains of the templates it calls and returns to, until the
    // run ends or is being left.
    void Exec() {
        if (status_ != Status::None) {
            EndChain();  // an `exit` came back from a call
            return;
        }
        CTask* t = nullptr;
        const CCode* c = nullptr;
        const COp* ops = nullptr;
        std::uint32_t pc = 0;
        const auto load = [&] {
            t = &work_.Top();
            c = t->code;
            ops = c->ops.data();
            pc = t->pc;
        };
        load();
        for (;;) {
            const CCode& code = *c;
            const COp& op = ops[pc++];
            switch (op.code) {
                case COpCode::End:
                    EndChain();
                    if (work_.Empty() || status_ != Status::None) {
                        return;
                    }
                    load();
                    break;
                case COpCode::Text:
                    Write(code.Text(op.a, op.b));
                    break;
                case COpCode::WriteVar:
                    WriteValue(Var(op.a));
                    break;
                case COpCode::WritePop:
                    WriteValue(values_.Top());
                    values_.Drop(1);
                    break;
                case COpCode::Pop:
                    values_.Drop(1);
                    break;
                case COpCode::Jump:
                    pc = op.a;
                    break;
                case COpCode::JumpIfFalse: {
                    const bool truth = values_.Top().IsTrue();
                    values_.Drop(1);
                    if (!truth) {
                        pc = op.a;
                    }
                    break;
                }
                case COpCode::WhileStart:
                    // The maximum is taken when the loop starts; a negative one ends it quietly.
                    t->remaining[op.a] = loopLimit_;
                    if (loopLimit_ <= 0) {
                        if (loopLimit_ == 0) {
                            WhileLimitReached();
                        }
                        pc = op.b;
                    }
                    break;
                case COpCode::WhileStep:
                    if (--t->remaining[op.a] == 0) {
                        WhileLimitReached();
                    } else {
                        pc = op.b;
                    }
                    break;
                case COpCode::Return:
                    status_ = Status::Return;
                    EndChain();
                    if (work_.Empty() || status_ != Status::None) {
                        return;
                    }
                    load();
                    break;
                case COpCode::Exit:
                    status_ = Status::Exit;
                    EndChain();
                    return;
                case COpCode::CloseOutputs:
                    for (std::uint32_t i = 0; i < op.a; ++i) {
                        CloseOutput();
                    }
                    break;
                case COpCode::PushArg:
                    stack_.Push(values_.Pop());
                    break;
                case COpCode::PushArgRef: {
                    // To the slot referred to, when the variable is itself a reference.
                    const std::size_t index = varBase_ + op.a;
                    const std::size_t ref = stack_[index].ref;
                    stack_.Push(ref == SIZE_MAX ? index : ref);
                    break;
                }
                case COpCode::Call:
                    t->pc = pc;
                    Call(code, op);
                    if (status_ != Status::None) {
                        return;
                    }
                    load();
                    break;
                case COpCode::Sys:
                    Sys(code, op);
                    break;
                case COpCode::OutputCheck:
                    if (factory_ == nullptr) {
                        Write(" no alternate outputs specified ");
                        pc = op.a;
                    }
                    break;
                case COpCode::OutputOpen:
                    if (!OpenOutput(code, op)) {
                        pc = op.c;
                    }
                    break;
                case COpCode::OutputClose:
                    CloseOutput();
                    break;
                case COpCode::ExecuteCheck:
                    if (insideExecute_) {
                        Write(" execute not allowed within execute ");
                        pc = op.a;
                    }
                    break;
                case COpCode::Execute:
                    t->pc = pc;
                    if (Execute()) {
                        load();
                    }
                    break;
                case COpCode::EnvCheck:
                    if (env_ == nullptr) {
                        NoEnvironment();
                        if (op.c != 0) {
                            values_.Push(CValue());
                        }
                        pc = op.a;
                    }
                    break;
                case COpCode::EnvRun:
                    if (env_ == nullptr) {
                        NoEnvironment();
                    } else {
                        Run(code, code.sites[op.a], values_.Last(op.b));
                    }
                    values_.Drop(op.b);
                    break;
                case COpCode::EnvValue: {
                    CValue v = env_ == nullptr ? NoEnvironment()
                                               : Value(code, code.sites[op.a], values_.Last(op.b));
                    values_.Drop(op.b);
                    values_.Push(std::move(v));
                    break;
                }
                case COpCode::EnvRunVar:
                    if (env_ == nullptr) {
                        NoEnvironment();
                    } else {
                        Run(code, code.sites[op.a], std::span<const CValue>(&Var(op.b), 1));
                    }
                    break;
                case COpCode::EnvValueVar: {
                    CValue v = env_ == nullptr ? NoEnvironment()
                                               : Value(code, code.sites[op.a],
                                                       std::span<const CValue>(&Var(op.b), 1));
                    values_.Push(std::move(v));
                    break;
                }
                case COpCode::EnvBegin:
                    chainBases_.push_back(children_.size());
                    break;
                case COpCode::EnvChild: {
                    std::unique_ptr<CEnvironment> child = ChainObject()->Child(
                        code.Name(code.sites[op.a]), *out_, values_.Last(op.b));
                    values_.Drop(op.b);
                    if (child == nullptr) {
                        pc = op.c;
                    } else {
                        children_.push_back(std::move(child));
                    }
                    break;
                }
                case COpCode::EnvLast: {
                    CEnvironment* object = ChainObject();
                    const std::string_view name = code.Name(code.sites[op.a]);
                    if (op.c == 0) {
                        object->Run(name, *out_, values_.Last(op.b));
                        values_.Drop(op.b);
                    } else {
                        CValue v = object->Value(name, *out_, values_.Last(op.b));
                        values_.Drop(op.b);
                        values_.Push(std::move(v));
                    }
                    break;
                }
                case COpCode::EnvEnd:
                    children_.resize(chainBases_.back());
                    chainBases_.pop_back();
                    break;
                case COpCode::PushString: {
                    const std::string_view text = code.Text(op.a, op.b);
                    values_.Push(code.transient ? CValue::String(text) : CValue::View(text));
                    break;
                }
                case COpCode::PushLong:
                    values_.Push(CValue::Long(static_cast<std::int32_t>(op.a)));
                    break;
                case COpCode::PushDouble:
                    values_.Push(CValue::Double(code.doubles[op.a]));
                    break;
                case COpCode::PushVar:
                    values_.Push(Var(op.a));
                    break;
                case COpCode::PushZero:
                    values_.Push(CValue());
                    break;
                case COpCode::Assign: {
                    CValue& target = Var(op.a);
                    target = values_.Pop();
                    if (op.b != 0) {
                        values_.Push(target);
                    }
                    break;
                }
                case COpCode::Append: {
                    // The operand nearest v was pushed last.
                    CValue& target = Var(op.a);
                    for (std::uint32_t i = 0; i < op.c; ++i) {
                        char buffer[CValue::kNumberTextSize];
                        target.AppendText(values_.Top(i).Text(buffer));
                    }
                    values_.Drop(op.c);
                    if (op.b != 0) {
                        values_.Push(target);
                    }
                    break;
                }
                case COpCode::Step: {
                    CValue& v = Var(op.a);
                    const auto delta = static_cast<std::int32_t>(op.b);
                    if (op.c == 2) {
                        CValue before = v;
                        Step(v, delta);
                        values_.Push(std::move(before));
                    } else {
                        Step(v, delta);
                        if (op.c == 1) {
                            values_.Push(v);
                        }
                    }
                    break;
                }
                case COpCode::Not:
                    values_.Top() = CValue::Long(values_.Top().IsTrue() ? 0 : 1);
                    break;
                case COpCode::Negate:
                    values_.Top() = Negate(values_.Top());
                    break;
                case COpCode::Positive:
                    values_.Top() = UnaryPlus(values_.Top());
                    break;
                case COpCode::Truth:
                    values_.Top() = CValue::Long(values_.Top().IsTrue() ? 1 : 0);
                    break;
                case COpCode::Binary: {
                    const CValue& left = values_.Top(0);
                    const CValue& right = values_.Top(1);
                    CValue result = op.a == kConcat ? Concatenate(left, right)
                                    : op.a >= kLessEqual && op.a <= kEqual
                                        ? Compare(static_cast<int>(op.a), left, right)
                                        : Arithmetic(static_cast<int>(op.a), left, right);
                    values_.Drop(1);
                    values_.Top() = std::move(result);
                    break;
                }
                case COpCode::OrJump:
                case COpCode::AndJump: {
                    const bool truth = values_.Top().IsTrue();
                    if (truth == (op.code == COpCode::OrJump)) {
                        values_.Top() = CValue::Long(truth ? 1 : 0);
                        pc = op.a;
                    } else {
                        values_.Drop(1);
                    }
                    break;
                }
                case COpCode::Substr: {
                    CValue result =
                        Substr(values_.Top(2), values_.Top(1).ToLong(), values_.Top(0).ToLong());
                    values_.Drop(3);
                    values_.Push(std::move(result));
                    break;
                }
                case COpCode::Param:
                    values_.Top() = Param(values_.Top().ToLong());
                    break;
                case COpCode::EnvTest: {
                    const bool truth = env_ == nullptr ? NoEnvironment().IsTrue()
                                                       : Value(code, code.sites[op.a], {}).IsTrue();
                    if (!truth) {
                        pc = op.c;
                    }
                    break;
                }
                case COpCode::EnvArg:
                    stack_.Push(env_ == nullptr ? NoEnvironment()
                                                : Value(code, code.sites[op.a], {}));
                    break;
                case COpCode::StringArg: {
                    const std::string_view text = code.Text(op.a, op.b);
                    stack_.Push(code.transient ? CValue::String(text) : CValue::View(text));
                    break;
                }
                case COpCode::TestVarString: {
                    // Mostly a text tested for being empty: strings are equal when their bytes
                    // are.
                    const CValue& v = Var(op.a);
                    const std::string_view literal = code.Name(code.sites[op.b]);
                    const bool holds = v.IsString() && (op.k == kEqual || op.k == kNotEqual)
                                           ? (v.StringValue() == literal) == (op.k == kEqual)
                                           : Compares(op.k, v, CValue::View(literal));
                    if (!holds) {
                        pc = op.c;
                    }
                    break;
                }
            }
        }
    }

    void WhileLimitReached() { Write(" while iteration max reached "); }

    CValue NoEnvironment() {
        Write(" no environment commands defined ");
        return CValue();
    }

    // Invokes `tmpl` with the arguments from `base` to the top of the stack.
    void Invoke(const CTemplate& tmpl, std::size_t base) {
        if (depth_ > kMaxCallDepth) {
            Write(" too many nested template calls ");
            status_ = Status::Exit;
            stack_.Resize(base);
            return;
        }
        ++depth_;
        const CSavedFrame caller{current_,  frameBase_, varBase_,
                                 argCount_, loopLimit_, insideExecute_};
        insideExecute_ = false;
        current_ = &tmpl;
        frameBase_ = base;
        argCount_ = stack_.Size() - base;
        if (argCount_ < tmpl.ParamCount()) {
            Write(" template " + tmpl.Name() + " call missing params ");
            Leave(caller);  // the template does not run
            return;
        }
        varBase_ = base + (argCount_ - tmpl.ParamCount());
        stack_.Resize(varBase_ + tmpl.Variables().size());
        PushChain(CTask::Kind::Invocation, tmpl.Code()).caller = caller;
    }

    // The end of an invocation: the caller's state again, and its frame gone.
    void Leave(const CSavedFrame& caller) {
        argCount_ = caller.argCount;
        loopLimit_ = caller.loopLimit;
        insideExecute_ = caller.insideExecute;
        --depth_;
        stack_.Resize(frameBase_);
        frameBase_ = caller.frameBase;
        varBase_ = caller.varBase;
        current_ = caller.tmpl;
    }

    // The template a `tmpl` statement calls: linked when its set was loaded, else by name.
    const CTemplate* Callee(const CCode& code, const CSite& site) const {
        const CTemplateSet* set = current_->Owner();
        if (set == nullptr || site.link == kNoTemplate) {
            return nullptr;
        }
        if (site.link < set->Count()) {
            return set->At(site.link);
        }
        return set->Find(code.Name(site));
    }

    // The arguments are the last `op.b` slots of the stack.
    void Call(const CCode& code, const COp& op) {
        const std::size_t base = stack_.Size() - op.b;
        const CSite& site = code.sites[op.a];
        const CTemplate* callee = Callee(code, site);
        if (callee == nullptr) {
            Write(" can't find template " + std::string(code.Name(site)) + " ");
            stack_.Resize(base);
            return;
        }
        Invoke(*callee, base);
    }

    int Number(const CSite& site) const {
        return site.link < names_.size() ? names_[site.link].number : CEnvironment::kByName;
    }

    void AddName(std::string_view name) {
        CResolvedName& n = names_.emplace_back();
        if (env_ != nullptr) {
            n.number = env_->Resolve(name);
            n.constant = n.number != CEnvironment::kByName && env_->Constant(n.number, n.value);
        }
    }

    void Run(const CCode& code, const CSite& site, std::span<const CValue> args) {
        const int number = Number(site);
        if (number == CEnvironment::kByName) {
            env_->Run(code.Name(site), *out_, args);
        } else {
            env_->RunResolved(number, code.Name(site), *out_, args);
        }
    }

    [[gnu::always_inline]] CValue Value(const CCode& code, const CSite& site,
                                        std::span<const CValue> args) {
        if (site.link < names_.size()) {
            const CResolvedName& n = names_[site.link];
            if (n.constant && args.empty()) {
                return n.value;
            }
            if (n.number != CEnvironment::kByName) {
                return env_->ValueResolved(n.number, code.Name(site), *out_, args);
            }
        }
        return env_->Value(code.Name(site), *out_, args);
    }

    // The object the next link of an `env` chain asks: the last child, or the environment.
    CEnvironment* ChainObject() {
        return children_.size() > chainBases_.back() ? children_.back().get() : env_;
    }

    bool OpenOutput(const CCode& code, const COp& op) {
        const std::string_view name = code.Name(code.sites[op.a]);
        std::unique_ptr<COutputStream> stream = factory_->Open(name, *out_, values_.Last(op.b));
        values_.Drop(op.b);
        if (!stream) {
            Write(" output \"" + std::string(name) + "\" not known ");
            return false;
        }
        COutputStream* next = stream.get();
        redirects_.push_back(CRedirect{std::move(stream), out_});
        out_ = next;
        return true;
    }

    void CloseOutput() {
        out_ = redirects_.back().saved;
        redirects_.pop_back();  // destroys the stream
    }

    void Sys(const CCode& code, const COp& op) {
        const std::string_view name = code.Name(code.sites[op.a]);
        const std::span<const CValue> args = values_.Last(op.b);
        // A missing argument counts as long 0.
        const CValue first = args.empty() ? CValue() : args.front();
        values_.Drop(op.b);
        if (name == "runcmd") {
            if (!first.IsString()) {
                Write(" sys.runcmd parameter is not a string ");
                return;
            }
            const std::string command(first.StringValue());
            if (!options_.runCommand || !options_.runCommand(command, *out_)) {
                Write(" could not run command " + command + " ");
            }
        } else if (name == "looplimit") {
            loopLimit_ = first.ToLong();
        } else {
            Write(" unknown command: sys." + std::string(name) + " ");
        }
    }

    // Compiles the string on top into the current template's working copy and pushes its
    // chain; false when nothing is to run.
    bool Execute() {
        const CValue source = values_.Pop();
        if (!source.IsString()) {
            Write(" execute parameter is not a string ");
            return false;
        }
        if (copies_.empty() || copies_.back().owner != current_) {
            copies_.push_back(CWorkingCopy{current_, current_->Variables()});
        }
        CWorkingCopy& copy = copies_.back();
        auto compiled = std::make_unique<CCode>();
        std::vector<CToken> tokens;
        const CLexResult lexed = Lex(source.StringValue(), 0, 1, true, compiled->pool, tokens);
        CCompileError error;
        if (!lexed.ok) {
            error.line = lexed.errorLine;
            error.message = "missing or invalid characters";
        } else {
            CompileChain(tokens, *compiled, copy.vars, error);
        }
        if (error.line != 0) {
            Write(" execute: line " + std::to_string(error.line) + ": " + error.message + " ");
            return false;
        }
        EmitCode(*compiled);
        compiled->transient = true;
        // The names of the executed text are looked up as the set's were, for as long as it runs.
        const std::size_t firstNumber = names_.size();
        if (const CTemplateSet* set = current_->Owner(); set != nullptr) {
            set->Link(*compiled, [this](std::string_view name) {
                AddName(name);
                return static_cast<std::uint32_t>(names_.size() - 1);
            });
        }
        stack_.Resize(std::max(stack_.Size(), varBase_ + copy.vars.size()));
        insideExecute_ = true;
        const CCode& body = *compiled;
        compiled_.push_back(CCompiled{std::move(compiled), firstNumber});
        PushChain(CTask::Kind::Executed, body);
        return true;
    }

    CValue Substr(const CValue& from, std::int32_t index, std::int32_t count) {
        if (index < 0 || count < 0) {
            Write(" negative number for substr index or items ");
            return CValue();
        }
        const CValue s = from.IsString() ? from : CValue::String(from.ToText());
        if (static_cast<std::size_t>(index) >= s.StringValue().size()) {
            Write(" substr index larger than string ");
            return CValue();
        }
        return s.Slice(static_cast<std::size_t>(index), static_cast<std::size_t>(count));
    }

    CValue Param(std::int32_t k) {
        if (k == 0) {
            return CValue::Long(static_cast<std::int32_t>(argCount_));
        }
        if (k > 0 && static_cast<std::size_t>(k) <= argCount_) {
            return Target(frameBase_ + static_cast<std::size_t>(k) - 1).value;
        }
        Write(" param out of range ");
        return CValue();
    }

    CEnvironment* env_;
    COutputFactory* factory_;
    CBufferedOutput page_;
    COutputStream* out_;
    const RunOptions& options_;

    CRawStack<CStackSlot> stack_;
    CRawStack<CValue> values_;
    CPlainStack<CTask> work_;
    std::vector<CRedirect> redirects_;
    std::vector<CCompiled> compiled_;
    std::vector<CWorkingCopy> copies_;
    // The objects of the `env` chains being evaluated, and where each chain's begin.
    std::vector<std::unique_ptr<CEnvironment>> children_;
    std::vector<std::size_t> chainBases_;
    // What the environment resolved the names of one-link `env` expressions to, by the number
    // their sites were linked with: the set's names first, then those of executed text.
    std::vector<CResolvedName> names_;
    const CTemplate* current_ = nullptr;
    std::size_t frameBase_ = 0;
    std::size_t varBase_ = 0;
    std::size_t argCount_ = 0;
    int depth_ = 0;
    Status status_ = Status::None;
    std::int32_t loopLimit_ = kDefaultLoopLimit;
    bool insideExecute_ = false;
};

}  // namespace

void Run(const CTemplate& entry, CEnvironment* environment, COutputStream& output,
         COutputFactory* factory, const RunOptions& options) {
    CRunContext(environment, output, factory, options).Run(entry);
}

}  // namespace zelvant::report
