#include "runner/HeadlessRunner.h"

#include "platform/storage/AppendFile.h"
#include "platform/storage/AtomicFile.h"
#include "record/LinkSummary.h"
#include "trend/TrendCsv.h"

HeadlessRunner::HeadlessRunner(std::unique_ptr<PollPort> line, const RunnerOptions& options,
                               std::FILE* out, std::FILE* err)
    : m_options(options), m_out(out), m_err(err), m_view(out, err),
      m_session(std::move(line), m_view), m_writes(options.writes.begin(), options.writes.end()) {
    m_cycle.SetAddress(options.address);
    // The runner counts ticks around the engine's own tick handler.
    m_cycle.PollTimer().SetOnTimer([this] { onTick(); });
    TrafficRecorder& recorder = m_session.Recorder();
    recorder.SetLimitBytes(std::int64_t{options.record.limitMegabytes} *
                           TrafficRecorder::BytesPerMegabyte);
    recorder.SetOnFailure([this](const QString& reason) {
        printError(tr("the recording stopped, polling goes on: %1").arg(reason));
    });
    if (options.linearity) {
        m_linearity = std::make_unique<LinearityTest>(m_cycle, *options.linearity);
        // The stopping tick settles the last request and closes the port.
        m_linearity->SetOnFinished([this](const LinearityResult&) { m_cycle.Stop(); });
    }
}

int HeadlessRunner::Run() {
    if (!prepareFiles() || !m_cycle.Start()) {
        return 1;
    }
    // The first request is a read, as in the window after Start: the first
    // reply shows the line as it is (whether it echoes, say) before anything
    // is written. The writes follow from the first tick on.
    startLinearityOnceWritesAreOut();
    if (m_interrupted) {
        m_cycle.Stop();
    }
    m_loop.exec();
    m_session.Recorder().Stop();
    printSummary();
    int status = 0;
    if (m_linearity) {
        // A run interrupted before the test began still owes its verdict.
        m_linearity->Abort(LinearityStop::Interrupted);
        printLinearity(m_linearity->Result());
        status = m_linearity->Result().Passed() ? 0 : LinearityFailed;
    }
    // The verdict is out whatever becomes of the summary.
    return writeStatistics() ? status : 1;
}

QString HeadlessRunner::FilesConflict(const RunnerOptions& options) {
    const QString& record = options.record.path;
    const QString& summary = options.summaryPath;
    if (record.isEmpty() || summary.isEmpty()) {
        return {};
    }
    for (int index = 0; index <= TrafficRecorder::KeptOldFiles; ++index) {
        const QString recording =
            index == 0 ? record : record + QLatin1Char('.') + QString::number(index);
        if (sameFile(recording, summary)) {
            return tr("--summary %1 is the recording %2: the summary would replace it; "
                      "name another file")
                .arg(summary, recording);
        }
    }
    return {};
}

bool HeadlessRunner::prepareFiles() {
    if (!m_options.record.path.isEmpty()) {
        if (const QString error = m_session.Recorder().Start(m_options.record.path);
            !error.isEmpty()) {
            printError(tr("cannot record the traffic: %1").arg(error));
            return false;
        }
    }
    // The summary is written at the end: a file that cannot be written then
    // is refused before the run begins, and a summary already there stays as
    // it is until the new one replaces it.
    if (!m_options.summaryPath.isEmpty()) {
        if (const int error = checkAtomicWrite(m_options.summaryPath); error != 0) {
            printError(tr("cannot write the summary: %1")
                           .arg(RecordingFailureText(m_options.summaryPath, error)));
            m_session.Recorder().Stop();
            return false;
        }
    }
    return true;
}

bool HeadlessRunner::writeStatistics() {
    if (m_options.summaryPath.isEmpty()) {
        return true;
    }
    const int error =
        writeFileAtomically(m_options.summaryPath, LinkSummaryJson(m_session.Statistics()));
    if (error != 0) {
        printError(tr("cannot write the summary: %1")
                       .arg(RecordingFailureText(m_options.summaryPath, error)));
        return false;
    }
    return true;
}

void HeadlessRunner::printError(const QString& text) {
    m_view.PrintError("kestro-modbus-m: " + text);
}

void HeadlessRunner::Interrupt() {
    if (m_linearity && m_linearity->Running() && !m_interrupted) {
        m_interrupted = true;
        m_linearity->Abort(LinearityStop::Interrupted);
        return;
    }
    m_interrupted = true;
    m_cycle.Stop();
}

void HeadlessRunner::onTick() {
    m_cycle.Tick();
    if (!m_cycle.Polling()) {
        // That was the stopping tick: the last request is settled, the port closed.
        m_loop.quit();
        return;
    }
    ++m_ticks;
    queueNextWrite();
    startLinearityOnceWritesAreOut();
    if (m_options.cycles && m_ticks >= *m_options.cycles) {
        m_cycle.Stop();
    }
}

void HeadlessRunner::queueNextWrite() {
    // Like the write dialog's ramp: a new write only once a read has emptied the
    // mailbox, so every write is followed by at least one read.
    if (m_writes.empty() || m_cycle.Mailbox() != WriteMode::Read) {
        return;
    }
    const auto [registerIndex, value] = m_writes.front();
    m_writes.pop_front();
    m_cycle.RequestWrite(registerIndex, value);
}

void HeadlessRunner::startLinearityOnceWritesAreOut() {
    if (m_linearity && !m_interrupted && m_writes.empty() && m_cycle.Mailbox() == WriteMode::Read) {
        m_linearity->Start();
    }
}

void HeadlessRunner::printLinearity(const LinearityResult& result) {
    const QByteArray text = LinearityCsv(result) + LinearitySummaryLine(result).toUtf8() + '\n';
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), m_out);
    std::fflush(m_out);
    if (result.outputWritten && !result.restored && result.originalOutput) {
        printError(tr("the output could not be written back to %1").arg(*result.originalOutput));
    }
}

void HeadlessRunner::printSummary() {
    const QByteArray summary = (CountersLine(m_cycle.TxCount(), m_cycle.ErCount()) + '\n' +
                                RegistersLine(m_cycle.Registers()) + '\n')
                                   .toUtf8();
    std::fwrite(summary.constData(), 1, static_cast<std::size_t>(summary.size()), m_out);
    std::fflush(m_out);
}
