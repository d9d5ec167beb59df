#include "runner/ListenRunner.h"

#include "platform/storage/AtomicFile.h"
#include "record/LinkSummary.h"
#include "serial/ComTypes.h"

ListenRunner::ListenRunner(std::unique_ptr<PollPort> line, const RunnerOptions& options,
                           std::FILE* out, std::FILE* err)
    : m_options(options), m_out(out), m_err(err), m_view(out, err),
      m_session(std::move(line), m_view) {
    m_listen.SetAddress(options.address);
    TrafficRecorder& recorder = m_session.Recorder();
    recorder.SetLimitBytes(std::int64_t{options.record.limitMegabytes} *
                           TrafficRecorder::BytesPerMegabyte);
    recorder.SetOnFailure([this](const QString& reason) {
        printError(tr("the recording stopped, listening goes on: %1").arg(reason));
    });
}

int ListenRunner::Run() {
    if (!prepareFiles() || !m_listen.Start()) {
        m_session.Recorder().Stop();
        return 1;
    }
    // Said once the line is open, so that a script knows it may start the
    // traffic it wants heard.
    printError(tr("listening on %1 at %2 baud; nothing is sent")
                   .arg(m_options.port, QString::fromStdString(BaudRateName(m_options.baudRate))));
    if (!m_interrupted) {
        m_loop.exec();
    }
    m_listen.Stop();
    m_session.Recorder().Stop();
    const QByteArray summary = (CountersLine(m_listen.TxCount(), m_listen.ErCount()) + '\n' +
                                RegistersLine(m_listen.Registers()) + '\n')
                                   .toUtf8();
    std::fwrite(summary.constData(), 1, static_cast<std::size_t>(summary.size()), m_out);
    std::fflush(m_out);
    return writeStatistics() ? 0 : 1;
}

void ListenRunner::Interrupt() {
    m_interrupted = true;
    m_loop.quit();
}

bool ListenRunner::prepareFiles() {
    if (!m_options.record.path.isEmpty()) {
        if (const QString error = m_session.Recorder().Start(m_options.record.path);
            !error.isEmpty()) {
            printError(tr("cannot record the traffic: %1").arg(error));
            return false;
        }
    }
    // Tried now, as it is written at the end: a summary that cannot be
    // written is refused before the listening begins.
    if (!m_options.summaryPath.isEmpty()) {
        if (const int error = writeFileAtomically(m_options.summaryPath, {}); error != 0) {
            printError(tr("cannot write the summary: %1")
                           .arg(RecordingFailureText(m_options.summaryPath, error)));
            return false;
        }
    }
    return true;
}

bool ListenRunner::writeStatistics() {
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

void ListenRunner::printError(const QString& text) {
    m_view.PrintError("kestro-modbus-m: " + text);
}
