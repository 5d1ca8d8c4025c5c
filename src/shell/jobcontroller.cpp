#include "jobcontroller.h"

#include "colorpicker.h"
#include "photocontroller.h"
#include "rosterstate.h"
#include "shotkeys.h"
#include "viewfinder.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTimer>

namespace {

// Sets a tick as the operator would, so its handlers run.
void tick(QCheckBox* box, bool on)
{
    if (box && box->isChecked() != on)
        box->click();
}

}  // namespace

JobController::JobController(const JobUnits& units, PhotoController& photo, RosterState& roster, Viewfinder& frame,
                             ShotKeys& keys, std::function<bool(const QString&)> choosePreset, QObject* parent)
    : QObject(parent)
    , u_(units)
    , photo_(photo)
    , roster_(roster)
    , keys_(keys)
    , choosePreset_(std::move(choosePreset))
    , keep_(new QTimer(this))
{
    kept_ = jobsettings::read();
    apply(kept_);
    job_ = kept_;

    // Each change is kept once the handlers it sets off are done.
    keep_->setSingleShot(true);
    keep_->setInterval(0);
    connect(keep_, &QTimer::timeout, this, &JobController::keep);
    connect(&frame, &Viewfinder::targetChanged, this, [this, &frame] {
        if (frame.targetError().isEmpty()) {
            job_.size = frame.target();
            changed();
        }
    });
    connect(u_.sizeLimit, &QLineEdit::textChanged, this, [this](const QString& text) {
        job_.sizeLimitKb = text;
        changed();
    });
    connect(u_.captionColour, &ColorPicker::colourChanged, this, [this](const QColor& colour) {
        job_.captionColour = colour;
        changed();
    });
    const PhotoSession& session = photo_.session();
    connect(&session, &PhotoSession::changed, this, [this, &session] {
        job_.captionOn = session.captionOn();
        job_.freeShooting = session.freeShooting();
        job_.manualNaming = session.manualNaming();
        job_.autoSave = session.autoSave();
        job_.keepOriginal = session.keepOriginal();
        job_.replaceBackdrop = session.replaceBackdrop();
        job_.preset = session.preset().isCustom() ? QString() : session.preset().name;
        changed();
    });
    connect(u_.headerRow, &QCheckBox::toggled, this, [this](bool on) {
        job_.headerRow = on;
        changed();
    });
    connect(&roster_, &RosterState::photoNameColumnChanged, this, [this](int column) {
        job_.photoNameColumn = column;
        changed();
    });
    connect(&roster_, &RosterState::displayNameColumnChanged, this, [this](int column) {
        job_.displayNameColumn = column;
        changed();
    });
    connect(u_.autoFrame, &QCheckBox::toggled, this, [this](bool on) {
        job_.autoFrame = on;
        changed();
    });
    connect(u_.photoCheck, &QCheckBox::toggled, this, [this](bool on) {
        job_.photoCheck = on;
        changed();
    });
    connect(&keys_, &ShotKeys::keysChanged, this, [this](const ShotKeySet& set) {
        job_.keys = set;
        changed();
    });
}

JobController::~JobController()
{
    keep();
}

void JobController::keep()
{
    if (job_ != kept_) {
        jobsettings::write(job_);
        kept_ = job_;
    }
}

void JobController::changed()
{
    keep_->start();
}

void JobController::apply(const StationJob& job)
{
    u_.width->setText(QString::number(job.size.width()));
    u_.height->setText(QString::number(job.size.height()));
    if (!job.preset.isEmpty() && choosePreset_)
        (void)choosePreset_(job.preset);  // a preset gone from the file leaves the size as kept
    u_.sizeLimit->setText(job.sizeLimitKb);
    if (photo_.captionOn() != job.captionOn)
        photo_.ToggleCaption();
    u_.captionColour->setColour(job.captionColour);
    u_.headerRow->setChecked(job.headerRow);
    roster_.setPhotoNameColumn(job.photoNameColumn);
    roster_.setDisplayNameColumn(job.displayNameColumn);
    tick(u_.autoFrame, job.autoFrame);
    tick(u_.photoCheck, job.photoCheck);
    tick(u_.autoSave, job.autoSave);
    tick(u_.freeShooting, job.freeShooting);
    tick(u_.manualNaming, job.manualNaming && job.freeShooting);
    tick(u_.keepOriginal, job.keepOriginal);
    tick(u_.replaceBackdrop, job.replaceBackdrop);
    keys_.setKeys(job.keys);
}
